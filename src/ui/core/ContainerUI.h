// CContainerUI: a control that holds child controls and places them whenever its own
// rectangle is set: every flowing child gets the whole inner area, every floating child its
// fixed offset and size (LayoutMath.h). IContainerUI is the interface through which the
// dialog builder adds children. Vertical, horizontal and tab layouts derive from it.
//
// Contract: user-interface thread. The container owns its children: removing one with
// auto destroy on deletes it (through the manager's delayed deletion when delayed destroy
// is on and there is a manager), and destroying the container deletes them all at once.
// Adding null or at an index outside 0..count fails with false.
#pragma once

#include <vector>

#include "ui/core/ControlUI.h"

namespace SkinUI {

class IContainerUI {
 public:
  virtual CControlUI* GetItemAt(int index) const = 0;
  virtual int GetItemIndex(CControlUI* control) const = 0;
  virtual bool SetItemIndex(CControlUI* control, int index) = 0;
  virtual int GetCount() const = 0;
  virtual bool Add(CControlUI* control) = 0;
  virtual bool AddAt(CControlUI* control, int index) = 0;
  virtual bool Remove(CControlUI* control) = 0;
  virtual bool RemoveAt(int index) = 0;
  virtual void RemoveAll() = 0;

 protected:
  ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  const wchar_t* GetClass() const override;
  void* GetInterface(const wchar_t* name) override;

  CControlUI* GetItemAt(int index) const override;
  int GetItemIndex(CControlUI* control) const override;
  bool SetItemIndex(CControlUI* control, int index) override;
  int GetCount() const override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;

  virtual RECT GetInset() const;
  virtual void SetInset(RECT inset);
  virtual int GetChildPadding() const;
  virtual void SetChildPadding(int padding);
  virtual bool IsAutoDestroy() const;
  virtual void SetAutoDestroy(bool on);
  virtual bool IsDelayedDestroy() const;
  virtual void SetDelayedDestroy(bool on);
  virtual bool IsMouseChildEnabled() const;
  virtual void SetMouseChildEnabled(bool enabled = true);
  // Places the floating child at `index` at its fixed offset inside this container.
  virtual void SetFloatPos(int index);

  void SetManager(CWindowHostUI* manager, CControlUI* parent, bool init = true) override;
  void SetVisible(bool visible = true) override;
  void SetInheritedVisible(bool visible = true) override;
  void SetMouseEnabled(bool enabled = true) override;
  void DoEvent(TControlEvent& event) override;
  void SetPos(RECT rect) override;
  void DoPaint(HDC dc, const RECT& paint) override;
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  CControlUI* FindControl(FindControlProc proc, void* data, UINT flags) override;

 protected:
  // The item rectangle shrunk by the inset.
  RECT InnerRect() const;
  // Flowing children stacked along `axis` in the inner area, floating ones at their offsets.
  void LayoutFlow(FlowAxis axis);
  // Deletes (or queues for deletion) a child that has left the list.
  void DestroyChild(CControlUI* control);

  std::vector<CControlUI*> items_;
  RECT inset_ = {};
  int childPadding_ = 0;
  bool autoDestroy_ = true, delayedDestroy_ = true, mouseChildEnabled_ = true;
};

}  // namespace SkinUI
