#include "svcmgr/event_log_api.h"
#include "common/win32.h"

namespace {
class TWin32EventLog : public TEventLogApi {
 public:
  uintptr_t RegisterSource(const std::string& sourceName) override {
    return reinterpret_cast<uintptr_t>(RegisterEventSourceA(nullptr, sourceName.c_str()));
  }
  bool Report(uintptr_t source, uint16_t eventType, uint16_t category, uint32_t eventId,
                   const std::string& message) override {
    const char* strings[1] = {message.c_str()};
    return ReportEventA(reinterpret_cast<HANDLE>(source), eventType, category, eventId, nullptr, 1, 0, strings,
                        nullptr) != FALSE;
  }
  void DeregisterSource(uintptr_t source) override {
    KeepingLastError([&] { return ::DeregisterEventSource(reinterpret_cast<HANDLE>(source)); });
  }
};
}  // namespace

TEventLogApi& PlatformEventLog() {
  static TWin32EventLog api;
  return api;
}
