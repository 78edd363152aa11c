#include "svcmgr/components.h"

#include <mutex>

namespace {
std::mutex HookLock;
std::function<void(const Exception&)>& Hook() {
  static std::function<void(const Exception&)> hook;
  return hook;
}
}  // namespace

void SetApplicationExceptionHook(std::function<void(const Exception&)> hook) {
  std::lock_guard<std::mutex> guard(HookLock);
  Hook() = std::move(hook);
}

void HandleApplicationException(const Exception& error) {
  std::function<void(const Exception&)> hook;
  {
    std::lock_guard<std::mutex> guard(HookLock);
    hook = Hook();
  }
  if (hook) hook(error);
}
