#pragma once
// The event-log calls behind TEventLogger.

#include <cstdint>
#include <string>

class TEventLogApi {
 public:
  virtual ~TEventLogApi() = default;
  // Method names avoid the A/W macros of <windows.h>.
  // RegisterEventSourceA(local computer, source); 0 on failure.
  virtual uintptr_t RegisterSource(const std::string& sourceName) = 0;
  // ReportEventA(source, type, category, id, no SID, 1 string, 0 bytes, &message, no data).
  virtual bool Report(uintptr_t source, uint16_t eventType, uint16_t category, uint32_t eventId,
                           const std::string& message) = 0;
  virtual void DeregisterSource(uintptr_t source) = 0;
};

// The Windows implementation; not available natively.
TEventLogApi& PlatformEventLog();
