#pragma once
// The stream half of the log's file calls, the same C stdio on every platform:
// each platform's TLogPlatform derives from this and adds opening (which is
// where links are refused), seeking, closing and the file-system calls.

#include "diag/log_platform.h"

class TStdioStreams : public TLogPlatform {
 public:
  int64_t ReadStream(uintptr_t stream, char* buffer, size_t size) override;
  bool WriteStream(uintptr_t stream, const char* data, size_t size) override;
};
