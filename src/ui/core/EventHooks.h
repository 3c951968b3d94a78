// CEventHooks: a list of callbacks that a control runs at one point of its life (init,
// destroy, size, event, notify), so that a program can watch a control without deriving
// from it.
//
// Contract: user-interface thread. Callbacks run in the order they were added; one that
// returns false stops the rest and makes Run answer false (for the event hook this cancels
// the event). Callbacks are copied in; adding one while the list runs is safe, the new one
// runs from the next Run on.
#pragma once

#include <functional>
#include <vector>

namespace SkinUI {

template <typename Arg>
class CEventHooks {
 public:
  using Hook = std::function<bool(Arg)>;

  void Add(Hook hook) { hooks_.push_back(std::move(hook)); }
  void Clear() { hooks_.clear(); }
  bool Empty() const { return hooks_.empty(); }

  bool Run(Arg arg) const {
    for (size_t i = 0; i < hooks_.size(); ++i) {
      const Hook hook = hooks_[i];
      if (!hook(arg)) return false;
    }
    return true;
  }

 private:
  std::vector<Hook> hooks_;
};

}  // namespace SkinUI
