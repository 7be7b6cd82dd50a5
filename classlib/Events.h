// Method delegates for events, and the root object class.
#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <utility>

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject();
};

// An event handler: an object-and-method pair (comparable, like a method
// pointer) or any callable (equal to its copies only: a handler copied from
// one event to another is still known as the same).
template <class Sig>
class TEvent;

template <class R, class... A>
class TEvent<R(A...)> {
 public:
  TEvent() = default;
  TEvent(std::nullptr_t) {}

  // Bind a member function of an object.
  template <class C, class M>
  TEvent(C* obj, M method) {
    static_assert(sizeof(M) <= sizeof(method_), "method pointer too large");
    fn_ = [obj, method](A... a) -> R { return (obj->*method)(std::forward<A>(a)...); };
    obj_ = static_cast<const void*>(obj);
    std::memcpy(method_, &method, sizeof(M));
    methodSize_ = sizeof(M);
  }

  // Bind any callable (lambda, free function).
  template <class F,
            class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TEvent> &&
                                     std::is_invocable_r_v<R, F&, A...>>>
  TEvent(F f) : fn_(std::move(f)), token_(std::make_shared<char>()) {}

  explicit operator bool() const { return static_cast<bool>(fn_); }
  bool Assigned() const { return static_cast<bool>(fn_); }

  R operator()(A... a) const { return fn_(std::forward<A>(a)...); }

  // Equal when both are empty, or both bind the same method of the same object.
  bool operator==(const TEvent& o) const {
    if (!fn_ || !o.fn_) return !fn_ && !o.fn_;
    if (!obj_ || !o.obj_) return token_ && token_ == o.token_;
    return obj_ == o.obj_ && methodSize_ == o.methodSize_ &&
           std::memcmp(method_, o.method_, methodSize_) == 0;
  }
  bool operator!=(const TEvent& o) const { return !(*this == o); }
  // The bound object, or nullptr for a plain callable.
  const void* Object() const { return obj_; }

 private:
  std::function<R(A...)> fn_;
  const void* obj_ = nullptr;
  unsigned char method_[2 * sizeof(void*)] = {};
  unsigned methodSize_ = 0;
  std::shared_ptr<char> token_;  // shared by the copies of a callable
};

using TNotifyEvent = TEvent<void(TObject* Sender)>;
