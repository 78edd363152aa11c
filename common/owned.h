#pragma once
// One owner for every kind of platform handle. Every seam hands its handles out
// as uintptr_t with 0 for "none"; the owner names the seam and the seam's release
// call, so no handle kind needs a class of its own:
//
//   using TOwnedKey = TOwned<TRegistryApi, &TRegistryApi::CloseKey>;
//
// Move-only. The seams' Windows implementations keep the caller's last-error code
// across a release, so releasing a handle on an error path never hides the error.
// Whatever the release call returns is dropped: paths that care about it call
// Release() and the seam themselves.

#include <cstdint>
#include <utility>

template <class Api, auto Close>
class TOwned {
 public:
  using Handle = uintptr_t;

  TOwned() = default;
  TOwned(Api& api, Handle handle) : Owner(&api), Value(handle) {}
  ~TOwned() { Reset(); }

  TOwned(TOwned&& other) noexcept : Owner(other.Owner), Value(std::exchange(other.Value, 0)) {}
  TOwned& operator=(TOwned&& other) noexcept {
    if (this != &other) {
      Reset();
      Owner = other.Owner;
      Value = std::exchange(other.Value, 0);
    }
    return *this;
  }
  TOwned(const TOwned&) = delete;
  TOwned& operator=(const TOwned&) = delete;

  Handle Get() const { return Value; }
  explicit operator bool() const { return Value != 0; }

  // Gives up ownership without closing.
  [[nodiscard]] Handle Release() { return std::exchange(Value, 0); }

  void Reset() {
    if (Value != 0 && Owner != nullptr) (void)(Owner->*Close)(Value);
    Value = 0;
  }

 private:
  Api* Owner = nullptr;
  Handle Value = 0;
};
