// Controls and containers without a window: the attribute table, class names, children,
// tab pages, option groups, names, progress values and size estimates.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestHostWindow.h"
#include "ui/ButtonUI.h"
#include "ui/ContainerUI.h"
#include "ui/ControlFactory.h"
#include "ui/DialogBuilder.h"
#include "ui/EditUI.h"
#include "ui/LabelUI.h"
#include "ui/OptionUI.h"
#include "ui/ProgressUI.h"
#include "ui/TabLayoutUI.h"
#include "ui/VerticalLayoutUI.h"

using namespace SkinUI;
using testing_support::NotifyRecorder;

namespace {

// A manager without a window, holding the tree built from `markup`.
class TreeTest : public testing::Test {
 protected:
  CControlUI* Attach(const wchar_t* markup) {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(markup, nullptr, nullptr, &host_);
    if (root) host_.AttachDialog(root);
    return root;
  }
  template <typename T>
  T* Find(const wchar_t* name, const wchar_t* interfaceName) {
    CControlUI* control = host_.FindControl(name);
    return control ? static_cast<T*>(control->GetInterface(interfaceName)) : nullptr;
  }

  CWindowHostUI host_;
};

// True once `control` has been destroyed.
std::shared_ptr<bool> WatchDestruction(CControlUI* control) {
  auto destroyed = std::make_shared<bool>(false);
  control->OnDestroy.Add([destroyed](CControlUI&) {
    *destroyed = true;
    return true;
  });
  return destroyed;
}

}  // namespace

TEST_F(TreeTest, PosThenWidthAndHeightGiveTheFloatingOffsetAndSize) {
  Attach(LR"(<Window><Container>
    <Button name="a" float="true" pos="177,237,0,0" width="184" height="44" />
    <Button name="b" float="true" pos="488,0,513,23" />
  </Container></Window>)");
  CControlUI* a = host_.FindControl(L"a");
  EXPECT_EQ(a->GetFixedXY().cx, 177);
  EXPECT_EQ(a->GetFixedXY().cy, 237);
  EXPECT_EQ(a->GetFixedWidth(), 184);
  EXPECT_EQ(a->GetFixedHeight(), 44);
  CControlUI* b = host_.FindControl(L"b");
  EXPECT_EQ(b->GetFixedWidth(), 25);
  EXPECT_EQ(b->GetFixedHeight(), 23);
  host_.GetRoot()->SetPos(RECT{0, 0, 540, 355});
  EXPECT_EQ(b->GetPos(), (RECT{488, 0, 513, 23}));
}

TEST_F(TreeTest, AttributesReadColoursBooleansAndTextsExactly) {
  CLabelUI label;
  label.SetAttribute(L"bkcolor", L"  #FF102030");
  EXPECT_EQ(label.GetBkColor(), 0xFF102030u);
  label.SetAttribute(L"bkcolor1", L"80FFFFFF");
  EXPECT_EQ(label.GetBkColor(), 0x80FFFFFFu);
  label.SetAttribute(L"visible", L"True");  // only "true" is true
  EXPECT_FALSE(label.IsVisible());
  label.SetAttribute(L"visible", L"true");
  EXPECT_TRUE(label.IsVisible());
  label.SetAttribute(L"enabled", L"1");
  EXPECT_FALSE(label.IsEnabled());
  label.SetAttribute(L"shortcut", L"xyz");
  EXPECT_EQ(label.GetShortcut(), L'x');
  label.SetAttribute(L"text", L"同意");
  EXPECT_EQ(label.GetText(), L"同意");
  label.SetAttribute(L"width", L"-5");  // negative sizes are ignored
  label.SetAttribute(L"height", L"20");
  EXPECT_EQ(label.GetFixedWidth(), 0);
  EXPECT_EQ(label.GetFixedHeight(), 20);
  label.SetAttribute(L"nosuchattribute", L"1");
  label.SetAttribute(nullptr, L"1");
  label.SetAttribute(L"text", nullptr);
  EXPECT_EQ(label.GetText(), L"同意");
}

TEST_F(TreeTest, EveryElementMakesItsClassWithItsInterfaces) {
  struct {
    const wchar_t* element;
    const wchar_t* className;
    const wchar_t* interfaceName;
  } const table[] = {
      {L"Control", L"ControlUI", L"Control"},
      {L"Container", L"ContainerUI", L"Container"},
      {L"VerticalLayout", L"VerticalLayoutUI", L"VerticalLayout"},
      {L"HorizontalLayout", L"HorizontalLayoutUI", L"HorizontalLayout"},
      {L"TabLayout", L"TabLayoutUI", L"TabLayout"},
      {L"Label", L"LabelUI", L"Label"},
      {L"Button", L"ButtonUI", L"Button"},
      {L"Option", L"OptionUI", L"Option"},
      {L"Progress", L"ProgressUI", L"Progress"},
      {L"Edit", L"EditUI", L"Edit"},
  };
  for (const auto& row : table) {
    std::unique_ptr<CControlUI> control(CControlFactory::CreateControl(row.element));
    ASSERT_NE(control, nullptr) << row.element;
    EXPECT_STREQ(control->GetClass(), row.className);
    EXPECT_NE(control->GetInterface(row.interfaceName), nullptr) << row.element;
    EXPECT_EQ(control->GetInterface(L"Control"), static_cast<void*>(control.get()));
    EXPECT_EQ(control->GetInterface(L"Nothing"), nullptr);
    const bool container = std::wstring(row.className).find(L"Layout") != std::wstring::npos ||
                           std::wstring(row.element) == L"Container";
    EXPECT_EQ(control->GetInterface(L"IContainer") != nullptr, container) << row.element;
  }
  // A button is a label; an option is a button; elements outside the table make nothing.
  std::unique_ptr<CControlUI> option(CControlFactory::CreateControl(L"Option"));
  EXPECT_NE(option->GetInterface(L"Button"), nullptr);
  EXPECT_NE(option->GetInterface(L"Label"), nullptr);
  EXPECT_EQ(CControlFactory::CreateControl(L"Slider"), nullptr);
  EXPECT_EQ(CControlFactory::CreateControl(L"button"), nullptr);
  EXPECT_EQ(CControlFactory::CreateControl(nullptr), nullptr);
}

TEST_F(TreeTest, ContainersOwnAndOrderTheirChildren) {
  auto container = std::make_unique<CContainerUI>();
  auto* first = new CLabelUI;
  auto* second = new CLabelUI;
  auto* third = new CLabelUI;
  EXPECT_FALSE(container->Add(nullptr));
  EXPECT_TRUE(container->Add(first));
  EXPECT_TRUE(container->Add(second));
  EXPECT_FALSE(container->AddAt(third, 3));
  EXPECT_FALSE(container->AddAt(third, -1));
  EXPECT_TRUE(container->AddAt(third, 0));
  EXPECT_EQ(container->GetItemIndex(third), 0);
  EXPECT_EQ(container->GetItemAt(2), second);
  EXPECT_EQ(container->GetItemAt(3), nullptr);
  EXPECT_TRUE(container->SetItemIndex(third, 2));
  EXPECT_EQ(container->GetItemAt(2), third);

  // Removing destroys (without a manager, at once).
  const auto destroyed = WatchDestruction(first);
  EXPECT_TRUE(container->Remove(first));
  EXPECT_TRUE(*destroyed);
  EXPECT_FALSE(container->RemoveAt(5));
  EXPECT_EQ(container->GetCount(), 2);
  // A hidden container hides what is added to it.
  container->SetVisible(false);
  auto* late = new CLabelUI;
  container->Add(late);
  EXPECT_FALSE(late->IsVisible());
  container->SetVisible(true);
  EXPECT_TRUE(late->IsVisible());
  container->RemoveAll();
  EXPECT_EQ(container->GetCount(), 0);
}

TEST_F(TreeTest, TabLayoutShowsOnePageAndKeepsItsSelectionThroughChanges) {
  Attach(LR"(<Window><TabLayout name="tb">
    <VerticalLayout name="p0" /><VerticalLayout name="p1" /><VerticalLayout name="p2" />
  </TabLayout></Window>)");
  auto* tab = Find<CTabLayoutUI>(L"tb", L"TabLayout");
  NotifyRecorder recorder(host_);
  EXPECT_EQ(tab->GetCurSel(), 0);
  EXPECT_TRUE(host_.FindControl(L"p0")->IsVisible());
  EXPECT_FALSE(host_.FindControl(L"p1")->IsVisible());

  EXPECT_TRUE(tab->SelectItem(2));
  EXPECT_EQ(recorder.Joined(), L"setfocus:p2, tabselect:tb");
  EXPECT_EQ(recorder.notifications.back().wParam, 2u);
  EXPECT_EQ(recorder.notifications.back().lParam, 0);
  // An insertion before the selection keeps the same page selected; the new one is hidden.
  auto* inserted = new CVerticalLayoutUI;
  EXPECT_TRUE(tab->AddAt(inserted, 0));
  EXPECT_EQ(tab->GetCurSel(), 3);
  EXPECT_FALSE(inserted->IsVisible());
  // Removing a page before the selection moves the index down; removing the selected page
  // selects the first.
  EXPECT_TRUE(tab->RemoveAt(0));
  EXPECT_EQ(tab->GetCurSel(), 2);
  EXPECT_TRUE(tab->Remove(host_.FindControl(L"p2")));
  EXPECT_EQ(tab->GetCurSel(), 0);
  EXPECT_TRUE(host_.FindControl(L"p0")->IsVisible());
  tab->RemoveAll();
  EXPECT_EQ(tab->GetCurSel(), -1);
  EXPECT_FALSE(tab->SelectItem(0));
}

TEST_F(TreeTest, SelectedIdPicksTheFirstPage) {
  Attach(LR"(<Window><TabLayout name="tb" selectedid="1"><Control name="a" /><Control name="b" />
    </TabLayout></Window>)");
  EXPECT_EQ(Find<CTabLayoutUI>(L"tb", L"TabLayout")->GetCurSel(), 1);
  EXPECT_FALSE(host_.FindControl(L"a")->IsVisible());
  EXPECT_TRUE(host_.FindControl(L"b")->IsVisible());
}

TEST_F(TreeTest, OptionsOfAGroupAreSelectedOneAtATime) {
  Attach(LR"(<Window><Container>
    <Option name="o1" group="g" selected="true" /><Option name="o2" group="g" />
    <Option name="check" />
  </Container></Window>)");
  auto* o1 = Find<COptionUI>(L"o1", L"Option");
  auto* o2 = Find<COptionUI>(L"o2", L"Option");
  ASSERT_NE(host_.GetOptionGroup(L"g"), nullptr);
  EXPECT_EQ(host_.GetOptionGroup(L"g")->size(), 2u);
  NotifyRecorder recorder(host_);
  EXPECT_TRUE(o2->Activate());
  EXPECT_TRUE(o2->IsSelected());
  EXPECT_FALSE(o1->IsSelected());
  EXPECT_EQ(recorder.Joined(), L"click:o2, selectchanged:o2");
  // Clicking the selected member again keeps it; deselecting in a group says nothing.
  recorder.Clear();
  o2->Activate();
  EXPECT_TRUE(o2->IsSelected());
  o2->Selected(false);
  EXPECT_EQ(recorder.Joined(), L"click:o2");

  // Without a group, an option toggles and reports both ways.
  auto* check = Find<COptionUI>(L"check", L"Option");
  recorder.Clear();
  check->Activate();
  check->Activate();
  EXPECT_EQ(recorder.Joined(), L"click:check, selectchanged:check, click:check, selectchanged:check");
  EXPECT_FALSE(check->IsSelected());
  // Disabled: no click, and only the selected state is kept.
  o1->Selected(true);
  o1->SetEnabled(false);
  EXPECT_FALSE(o1->Activate());
  EXPECT_EQ(o1->GetButtonState(), kStateSelected);

  // A destroyed member leaves its group; an emptied group is dropped.
  auto* root = static_cast<IContainerUI*>(host_.GetRoot()->GetInterface(L"IContainer"));
  static_cast<CContainerUI*>(host_.GetRoot())->SetDelayedDestroy(false);
  root->Remove(o1);
  EXPECT_EQ(host_.GetOptionGroup(L"g")->size(), 1u);
  root->Remove(o2);
  EXPECT_EQ(host_.GetOptionGroup(L"g"), nullptr);
}

TEST_F(TreeTest, NamesBelongToTheFirstControlAndAreForgottenWithIt) {
  Attach(LR"(<Window><Container name="root"><Label name="x" text="1" /><Label name="x" text="2" />
    </Container></Window>)");
  CControlUI* first = host_.FindControl(L"x");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetText(), L"1");
  auto* root = static_cast<CContainerUI*>(host_.GetRoot());
  root->SetDelayedDestroy(false);
  root->Remove(first);
  EXPECT_EQ(host_.FindControl(L"x"), nullptr);
  EXPECT_EQ(host_.FindControl(L"root"), root);
  EXPECT_EQ(host_.FindControl(L"nobody"), nullptr);
}

TEST(TreeDeletion, DelayedDeletionDetachesAtOnceAndDeletesLater) {
  std::shared_ptr<bool> destroyed;
  {
    CWindowHostUI host;
    CDialogBuilder builder;
    host.AttachDialog(builder.Create(
        LR"(<Window><Container name="root"><Button name="b" /></Container></Window>)", nullptr,
        nullptr, &host));
    CControlUI* button = host.FindControl(L"b");
    destroyed = WatchDestruction(button);
    host.SetFocus(button);
    ASSERT_EQ(host.GetFocus(), button);
    static_cast<IContainerUI*>(host.GetRoot()->GetInterface(L"IContainer"))->Remove(button);
    // Out of the tree and forgotten by the manager, but not deleted while the current
    // message may still be using it.
    EXPECT_FALSE(*destroyed);
    EXPECT_EQ(button->GetManager(), nullptr);
    EXPECT_EQ(host.FindControl(L"b"), nullptr);
    EXPECT_EQ(host.GetFocus(), nullptr);
  }
  // A manager going away deletes what still waits.
  EXPECT_TRUE(*destroyed);
}

TEST_F(TreeTest, ProgressValueStaysWithinItsBounds) {
  CProgressUI progress;
  progress.SetValue(150);
  EXPECT_EQ(progress.GetValue(), 0);
  progress.SetValue(-1);
  EXPECT_EQ(progress.GetValue(), 0);
  progress.SetValue(40);
  EXPECT_EQ(progress.GetValue(), 40);
  progress.SetAttribute(L"max", L"1000");
  progress.SetAttribute(L"value", L"900");
  EXPECT_EQ(progress.GetValue(), 900);
}

TEST_F(TreeTest, LabelsAndButtonsWithoutAHeightTakeTheirFontsHeight) {
  Attach(LR"(<Window>
    <Font name="Tahoma" size="20" />
    <VerticalLayout name="v">
      <Label name="l" font="0" /><Button name="b" font="0" /><Label name="fixed" height="30" />
      <Control name="rest" />
    </VerticalLayout>
  </Window>)");
  const int font = static_cast<int>(host_.GetFontInfo(0)->metrics.tmHeight);
  ASSERT_GT(font, 0);
  host_.GetRoot()->SetPos(RECT{0, 0, 200, 300});
  EXPECT_EQ(host_.FindControl(L"l")->GetHeight(), font + 4);
  EXPECT_EQ(host_.FindControl(L"b")->GetHeight(), font + 8);
  EXPECT_EQ(host_.FindControl(L"fixed")->GetHeight(), 30);
  EXPECT_EQ(host_.FindControl(L"rest")->GetHeight(), 300 - (font + 4) - (font + 8) - 30);
}

TEST_F(TreeTest, VirtualWindowNamesStampNotifications) {
  Attach(LR"(<Window><Container><VerticalLayout virtualwnd="page"><Button name="b" /></VerticalLayout>
    <Button name="outside" /></Container></Window>)");
  NotifyRecorder recorder(host_);
  host_.SendNotify(host_.FindControl(L"b"), L"click");
  host_.SendNotify(host_.FindControl(L"outside"), L"click");
  ASSERT_EQ(recorder.notifications.size(), 2u);
  EXPECT_EQ(recorder.notifications[0].virtualWnd, L"page");
  EXPECT_EQ(recorder.notifications[1].virtualWnd, L"");
}

TEST_F(TreeTest, SenderHooksSeeNotificationsBeforeListeners) {
  Attach(LR"(<Window><Container><Button name="b" /></Container></Window>)");
  CControlUI* button = host_.FindControl(L"b");
  std::wstring order;
  button->OnNotify.Add([&order](TControlNotify& n) {
    order += L"hook:" + n.typeName + L" ";
    return true;
  });
  NotifyRecorder recorder(host_);
  host_.SendNotify(button, L"click", 7, 9);
  order += L"listener:" + recorder.entries.at(0);
  EXPECT_EQ(order, L"hook:click listener:click:b");
  EXPECT_EQ(recorder.notifications[0].wParam, 7u);
  EXPECT_EQ(recorder.notifications[0].lParam, 9);

  // An event hook that answers false cancels the event.
  button->OnEvent.Add([](TControlEvent&) { return false; });
  TControlEvent event;
  event.type = kEventKeyDown;
  event.key = VK_RETURN;
  button->Event(event);
  EXPECT_EQ(recorder.Count(L"click:b"), 1);
}
