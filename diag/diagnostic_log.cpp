#include "diag/diagnostic_log.h"

TDiagnosticLog::TDiagnosticLog(TEngineState& state, TLogPlatform& platform, TClock& clock)
    : State(state), Platform(platform), Clock(clock) {}

void TDiagnosticLog::Log(const std::string& message) { State.LogLines.Add(message); }

void TDiagnosticLog::FlushLog() {}

bool TDiagnosticLog::AppendLinesToFile(TStringList&, const std::string&) { return true; }

void TDiagnosticLog::TrimLogFile() {}
