#pragma once
// TEventLogger: writes error events under one source name, registering the
// source at the first event and again after a registration that failed.
// Thread-safe: the application's logger is used from the main thread and the
// service's from the service-main and service threads.

#include <cstdint>
#include <mutex>
#include <string>

#include "svcmgr/event_log_api.h"

class TEventLogger {
 public:
  static constexpr uint16_t kErrorType = 1;    // EVENTLOG_ERROR_TYPE
  static constexpr uint16_t kWarningType = 2;  // EVENTLOG_WARNING_TYPE
  static constexpr uint16_t kInformationType = 4;  // EVENTLOG_INFORMATION_TYPE

  TEventLogger(TEventLogApi& api, std::string sourceName);
  // Deregisters the source when one was registered.
  ~TEventLogger();
  TEventLogger(const TEventLogger&) = delete;
  TEventLogger& operator=(const TEventLogger&) = delete;

  // A failure to register or to write is silent; the next event tries again.
  void LogEvent(const std::string& message, uint16_t eventType = kErrorType, uint16_t category = 0,
                uint32_t eventId = 0);

  const std::string& SourceName() const { return Source; }

 private:
  TEventLogApi& Api;
  const std::string Source;
  std::mutex Lock;
  uintptr_t EventSource = 0;
};
