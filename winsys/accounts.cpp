#include "winsys/accounts.h"

void SetAccountLogonHours(const TEngineState&, TAccountApi&, TLogSink&, const std::string&, bool) {}

bool ShutdownComputer(const TEngineState&, TAccountApi&, TLogSink&) { return false; }
