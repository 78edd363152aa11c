#include "svcmgr/event_logger.h"

TEventLogger::TEventLogger(TEventLogApi& api, std::string sourceName) : Api(api), Source(std::move(sourceName)) {}

TEventLogger::~TEventLogger() {
  if (EventSource != 0) Api.DeregisterSource(EventSource);
}

void TEventLogger::LogEvent(const std::string& message, uint16_t eventType, uint16_t category, uint32_t eventId) {
  std::lock_guard<std::mutex> guard(Lock);
  if (EventSource == 0) EventSource = Api.RegisterSource(Source);
  Api.Report(EventSource, eventType, category, eventId, message);
}
