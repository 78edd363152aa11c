#pragma once
// One owner for every kind of platform handle. Traits name the handle type, its
// null value and how to close it through the seam that produced it:
//
//   struct TKeyTraits {
//     using Handle = uintptr_t; using Api = TRegistryApi;
//     static constexpr Handle Null() { return 0; }
//     static void Close(Api& api, Handle h) { api.CloseKey(h); }
//   };
//
// Move-only. The seams' Windows implementations keep the caller's last-error code
// across a close, so releasing a handle on an error path never hides the error.

#include <utility>

template <class Traits>
class TOwned {
 public:
  using Handle = typename Traits::Handle;
  using Api = typename Traits::Api;

  TOwned() = default;
  TOwned(Api& api, Handle handle) : Owner(&api), Value(handle) {}
  ~TOwned() { Reset(); }

  TOwned(TOwned&& other) noexcept : Owner(other.Owner), Value(std::exchange(other.Value, Traits::Null())) {}
  TOwned& operator=(TOwned&& other) noexcept {
    if (this != &other) {
      Reset();
      Owner = other.Owner;
      Value = std::exchange(other.Value, Traits::Null());
    }
    return *this;
  }
  TOwned(const TOwned&) = delete;
  TOwned& operator=(const TOwned&) = delete;

  Handle Get() const { return Value; }
  explicit operator bool() const { return Value != Traits::Null(); }

  // Gives up ownership without closing.
  [[nodiscard]] Handle Release() { return std::exchange(Value, Traits::Null()); }

  void Reset() {
    if (Value != Traits::Null() && Owner != nullptr) Traits::Close(*Owner, Value);
    Value = Traits::Null();
  }

 private:
  Api* Owner = nullptr;
  Handle Value = Traits::Null();
};
