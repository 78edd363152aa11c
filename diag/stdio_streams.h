#pragma once
// The stream half of the log's file calls, the same C stdio on every platform:
// each platform's TLogPlatform derives from this and adds seeking, closing and
// the file-system calls.

#include "diag/log_platform.h"

class TStdioStreams : public TLogPlatform {
 public:
  uintptr_t OpenStream(const std::string& path, const char* mode) override;
  int64_t ReadStream(uintptr_t stream, char* buffer, size_t size) override;
  bool WriteStream(uintptr_t stream, const char* data, size_t size) override;
};
