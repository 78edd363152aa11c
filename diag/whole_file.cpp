#include "diag/whole_file.h"

#include <random>
#include <vector>

#include "common/owned.h"

namespace {
using TStream = TOwned<TLogPlatform, &TLogPlatform::CloseStream>;
constexpr size_t kReadChunk = 64 * 1024;
}  // namespace

// Small letters only: Windows does not tell a name from its capitalised form.
std::string UnguessableFileName() {
  std::random_device source;
  uint64_t value = (static_cast<uint64_t>(source()) << 32) | source();
  std::string name(kTrimFileNameLength, '0');
  name.replace(0, sizeof kTrimFilePrefix - 1, kTrimFilePrefix);
  for (size_t i = name.size(); i-- > sizeof kTrimFilePrefix - 1;) {
    name[i] = "0123456789abcdefghijklmnopqrstuv"[value & 31];
    value >>= 5;
  }
  return name;
}

TWholeFile ReadWholeFile(TLogPlatform& platform, const std::string& path, std::string& text) {
  text.clear();
  bool linked = false;
  TStream stream(platform, platform.OpenStream(path, "rb", linked));
  if (linked) return TWholeFile::NotPlain;
  if (!stream) {
    const uint32_t attributes = platform.ReadAttributes(path);
    if (attributes == kInvalidFileAttributes) return TWholeFile::Missing;
    return (attributes & (kFileAttributeDirectory | kFileAttributeReparsePoint)) != 0 ? TWholeFile::NotPlain
                                                                                     : TWholeFile::Failed;
  }
  std::vector<char> chunk(kReadChunk);
  for (;;) {
    const int64_t n = platform.ReadStream(stream.Get(), chunk.data(), chunk.size());
    if (n < 0) return TWholeFile::Failed;
    if (n == 0) break;
    text.append(chunk.data(), static_cast<size_t>(n));
  }
  return TWholeFile::Done;
}

TWholeFile ReplaceWholeFile(TLogPlatform& platform, const std::string& folder, const std::string& name,
                            const std::string& text) {
  const std::string path = folder + name;
  {
    bool linked = false;
    const TStream old(platform, platform.OpenStream(path, "rb", linked));
    if (linked) return TWholeFile::NotPlain;
    const uint32_t attributes = old ? 0 : platform.ReadAttributes(path);
    if (attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0) return TWholeFile::NotPlain;
  }
  const std::string newPath = folder + UnguessableFileName();
  bool linked = false;
  const uintptr_t stream = platform.OpenStream(newPath, "wb", linked);
  if (stream == 0) return TWholeFile::Failed;
  const bool written = platform.WriteStream(stream, text.data(), text.size());
  const bool closed = platform.CloseStream(stream);
  if (written && closed && platform.RenameFile(newPath, path, kMoveFileReplaceExisting)) return TWholeFile::Done;
  platform.RemoveFile(newPath);
  return TWholeFile::Failed;
}
