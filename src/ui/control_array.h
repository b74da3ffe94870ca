// Controls that share one name and are told apart by index. Element 0 exists from the start;
// the others are loaded at run time as copies of it and can be unloaded again.
#pragma once

#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "ui/control.h"
#include "ui/form.h"
#include "ui/timer.h"

namespace nd::ui {
namespace internal {

// The array-wide handlers, which receive the index of the element whose event it is.
struct ArrayClickEvent {
  std::function<void(int index)> OnClick;
};
struct ArrayTimerEvent {
  std::function<void(int index)> OnTimer;
};
struct NoArrayEvent {};

template <class T>
using ArrayEvents = std::conditional_t<
    std::derived_from<T, ClickableControl>, ArrayClickEvent,
    std::conditional_t<std::derived_from<T, Timer>, ArrayTimerEvent, NoArrayEvent>>;

}  // namespace internal

// T must be constructible from (Form&, std::string) and have CopyPropertiesFrom(const T&).
// The elements' own OnClick / OnTimer are taken by the array; set the array's instead.
template <class T>
class ControlArray : public internal::ArrayEvents<T> {
 public:
  // `design_args` go to element 0's constructor after the form and name.
  template <class... Args>
  ControlArray(Form& form, std::string name, Args&&... design_args)
      : form_(form), name_(std::move(name)) {
    Adopt(0, std::make_unique<T>(form_, name_, std::forward<Args>(design_args)...));
  }
  ControlArray(const ControlArray&) = delete;
  ControlArray& operator=(const ControlArray&) = delete;

  // Creates element `index` as a hidden copy of element 0. False, with nothing changed, when
  // the index is negative or already loaded.
  bool Load(int index) {
    if (index < 0 || Contains(index)) return false;
    auto element = std::make_unique<T>(form_, name_);
    element->CopyPropertiesFrom(*elements_.at(0));
    element->visible_ = false;
    T& loaded = Adopt(index, std::move(element));
    if (ModelObserver* observer = form_.Observer()) observer->ControlLoaded(loaded);
    if constexpr (std::derived_from<T, Timer>) {
      if (TimerScheduler* scheduler = form_.Scheduler()) scheduler->TimerChanged(loaded);
    }
    return true;
  }

  // Destroys element `index`. False for element 0, which cannot be unloaded, and for an index
  // that is not loaded.
  bool Unload(int index) {
    auto it = elements_.find(index);
    if (index == 0 || it == elements_.end()) return false;
    if (ModelObserver* observer = form_.Observer()) observer->ControlUnloading(*it->second);
    // Taken out of the map first, so that the element is gone before its destructor runs.
    std::unique_ptr<T> element = std::move(it->second);
    elements_.erase(it);
    return true;
  }

  bool Contains(int index) const { return elements_.contains(index); }
  T* Get(int index) const {
    auto it = elements_.find(index);
    return it == elements_.end() ? nullptr : it->second.get();
  }
  // Element `index`, which must be loaded: asking for another one is a programming error.
  T& operator[](int index) const {
    T* element = Get(index);
    if (!element) {
      std::fprintf(stderr, "control array %s has no element %d\n", name_.c_str(), index);
      std::abort();
    }
    return *element;
  }

  const std::string& Name() const { return name_; }
  int Count() const { return static_cast<int>(elements_.size()); }
  // The highest loaded index.
  int UBound() const { return elements_.rbegin()->first; }
  // The loaded indices in ascending order; a snapshot, so the loop may load and unload.
  std::vector<int> Indices() const {
    std::vector<int> indices;
    for (const auto& [index, element] : elements_) indices.push_back(index);
    return indices;
  }

 private:
  T& Adopt(int index, std::unique_ptr<T> element) {
    element->index_ = index;
    if constexpr (std::derived_from<T, ClickableControl>) {
      element->OnClick = [this, index] { Forward(this->OnClick, index); };
    } else if constexpr (std::derived_from<T, Timer>) {
      element->OnTimer = [this, index] { Forward(this->OnTimer, index); };
    }
    return *(elements_[index] = std::move(element));
  }

  static void Forward(const std::function<void(int)>& handler, int index) {
    // A copy, because the handler may replace or clear the array's handler while it runs.
    std::function<void(int)> copy = handler;
    if (copy) copy(index);
  }

  Form& form_;
  std::string name_;
  std::map<int, std::unique_ptr<T>> elements_;
};

}  // namespace nd::ui
