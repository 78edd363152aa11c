// The Windows side of the log's files and locale: the C runtime's streams (text
// mode turns "\n" into CR LF) and the kernel32 calls, forwarded as they are.
#include <cstdio>

#include "diag/stdio_streams.h"
#include "common/win32.h"

namespace {

FILE* AsFile(uintptr_t stream) { return reinterpret_cast<FILE*>(stream); }

class TWin32LogFiles : public TStdioStreams {
 public:
  int64_t SeekStream(uintptr_t stream, int64_t offset, int origin) override {
    // The 64-bit calls: a log past 2 GiB must not look like a failed seek.
    if (_fseeki64(AsFile(stream), offset, origin) != 0) return -1;
    return _ftelli64(AsFile(stream));
  }

  bool CloseStream(uintptr_t stream) override {
    const bool closed = KeepingLastError([&] { return std::fclose(AsFile(stream)) == 0; });
    return closed;
  }

  bool TruncateFile(const std::string& path, int64_t size) override {
    // OPEN_EXISTING: CREATE_ALWAYS and TRUNCATE_EXISTING refuse a hidden file.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER position;
    position.QuadPart = size;
    const bool cut = SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != FALSE && SetEndOfFile(file) != FALSE;
    KeepingLastError([&] { return CloseHandle(file); });
    return cut;
  }

  bool RenameFile(const std::string& from, const std::string& to, uint32_t flags) override {
    return MoveFileExA(from.c_str(), to.c_str(), flags) != FALSE;
  }

  bool RemoveFile(const std::string& path) override { return DeleteFileA(path.c_str()) != FALSE; }

  uint32_t ReadAttributes(const std::string& path) override { return GetFileAttributesA(path.c_str()); }

  bool WriteAttributes(const std::string& path, uint32_t attributes) override {
    return SetFileAttributesA(path.c_str(), attributes) != FALSE;
  }

  std::string ReadLocaleInfo(uint32_t locale, uint32_t type) override {
    char small[64];
    int length = GetLocaleInfoA(locale, type, small, sizeof small);
    if (length > 0) return std::string(small, static_cast<size_t>(length - 1));
    length = GetLocaleInfoA(locale, type, nullptr, 0);  // the length a longer answer needs
    if (length <= 0) return std::string();
    std::string text(static_cast<size_t>(length), '\0');
    length = GetLocaleInfoA(locale, type, &text[0], length);
    text.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
    return text;
  }
};

}  // namespace

TLogPlatform& PlatformLogFiles() {
  static TWin32LogFiles files;
  return files;
}
