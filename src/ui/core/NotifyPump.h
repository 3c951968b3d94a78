// CNotifyPump: routes a window's notifications to handlers by type name, through a small
// message map, and on to the pumps of named virtual windows (a part of the tree whose
// controls carry "virtualwnd", handled by an object of its own).
//
// Contract: user-interface thread. Handlers and virtual-window pumps are not owned; a pump
// registered under a name must stay alive until it is removed. Nothing throws; a
// notification no entry takes is reported by a false result.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/core/ControlEvents.h"

namespace SkinUI {

class CNotifyPump {
 public:
  using NotifyHandler = std::function<void(TControlNotify&)>;

  CNotifyPump();
  virtual ~CNotifyPump();
  CNotifyPump(const CNotifyPump&) = delete;
  CNotifyPump& operator=(const CNotifyPump&) = delete;

  // False when the name is empty, the pump null, or the name taken.
  bool AddVirtualWnd(const std::wstring& name, CNotifyPump* pump);
  bool RemoveVirtualWnd(const std::wstring& name);

  // A notification stamped with a virtual window goes to that window's pump; otherwise,
  // and when that pump takes nothing, to the first entry of this pump's map for its type.
  // True when a handler took it.
  bool NotifyPump(TControlNotify& notify);

 protected:
  // Adds a map entry for notifications of `type` from any control.
  void MapNotify(const std::wstring& type, NotifyHandler handler);

 private:
  bool LoopDispatch(TControlNotify& notify);

  std::map<std::wstring, CNotifyPump*> virtualWnds_;
  std::vector<std::pair<std::wstring, NotifyHandler>> map_;
};

}  // namespace SkinUI
