#pragma once
// The diagnostic log: stamped lines buffered in LogLines, appended to
// AppPath + "debug_free.log" by FlushLog, the file cut back to about 1 MiB by
// TrimLogFile. Not thread-safe: the module's lock serialises its callers.

#include <string>

#include "common/clock.h"
#include "common/log_sink.h"
#include "diag/log_platform.h"
#include "engine/engine_state.h"

inline constexpr char kLogFileName[] = "debug_free.log";

class TDiagnosticLog : public TLogSink {
 public:
  TDiagnosticLog(TEngineState& state, TLogPlatform& platform, TClock& clock);

  void Log(const std::string& message) override;
  void FlushLog() override;
  bool AppendLinesToFile(TStringList& lines, const std::string& fileName);
  void TrimLogFile();

 private:
  TEngineState& State;
  TLogPlatform& Platform;
  TClock& Clock;
};
