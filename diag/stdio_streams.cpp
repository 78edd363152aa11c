#include "diag/stdio_streams.h"

#include <cstdio>

namespace {
FILE* AsFile(uintptr_t stream) { return reinterpret_cast<FILE*>(stream); }
}  // namespace

int64_t TStdioStreams::ReadStream(uintptr_t stream, char* buffer, size_t size) {
  const size_t got = std::fread(buffer, 1, size, AsFile(stream));
  if (got == 0 && std::ferror(AsFile(stream))) return -1;
  return static_cast<int64_t>(got);
}

bool TStdioStreams::WriteStream(uintptr_t stream, const char* data, size_t size) {
  return std::fwrite(data, 1, size, AsFile(stream)) == size;
}
