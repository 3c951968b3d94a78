#include "ui/core/NotifyPump.h"

namespace SkinUI {

CNotifyPump::CNotifyPump() = default;
CNotifyPump::~CNotifyPump() = default;

bool CNotifyPump::AddVirtualWnd(const std::wstring& name, CNotifyPump* pump) {
  if (name.empty() || !pump || pump == this) return false;
  return virtualWnds_.emplace(name, pump).second;
}

bool CNotifyPump::RemoveVirtualWnd(const std::wstring& name) {
  return virtualWnds_.erase(name) > 0;
}

bool CNotifyPump::NotifyPump(TControlNotify& notify) {
  if (!notify.virtualWnd.empty()) {
    const auto found = virtualWnds_.find(notify.virtualWnd);
    if (found != virtualWnds_.end() && found->second->LoopDispatch(notify)) return true;
  }
  return LoopDispatch(notify);
}

bool CNotifyPump::LoopDispatch(TControlNotify& notify) {
  for (auto& entry : map_) {
    if (entry.first != notify.typeName) continue;
    entry.second(notify);
    return true;
  }
  return false;
}

void CNotifyPump::MapNotify(const std::wstring& type, NotifyHandler handler) {
  if (handler) map_.emplace_back(type, std::move(handler));
}

}  // namespace SkinUI
