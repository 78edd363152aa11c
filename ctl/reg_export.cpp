// nortavelctl export: the configuration as a .reg file in the format regedit
// writes, so that reg import reads it on another computer.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common/string_list.h"
#include "ctl/command_context.h"
#include "ctl/usage_error.h"
#include "winsys/registry.h"

namespace {
constexpr uint32_t kAnsiCodePage = 0;  // CP_ACP: what the "A" registry calls return
constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";

class TRegText {
 public:
  explicit TRegText(TAccountApi& accounts) : Accounts(accounts) {}

  // ASCII, byte for byte.
  TRegText& operator<<(const std::string& ascii) {
    for (const char c : ascii) Text.push_back(static_cast<unsigned char>(c));
    Ansi += ascii;
    return *this;
  }
  // Text in the ANSI code page, as the registry gave it.
  void AddAnsi(const std::string& text) {
    Text += Wide(text);
    Ansi += text;
  }

  std::u16string Wide(const std::string& text) {
    if (text.empty()) return std::u16string();
    std::u16string wide(text.size(), u'\0');
    const int32_t length = Accounts.ToWide(kAnsiCodePage, 0, text.data(), static_cast<int32_t>(text.size()),
                                           &wide[0], static_cast<int32_t>(wide.size()));
    wide.resize(static_cast<size_t>(length > 0 ? length : 0));
    return wide;
  }

  // The same text in the ANSI code page, as the tool writes all it prints, with
  // "\n" line ends: a text-mode console stream makes them CR LF.
  std::string ConsoleText() const {
    std::string text;
    for (size_t at = 0; at < Ansi.size(); ++at)
      if (Ansi.compare(at, 2, "\r\n") != 0) text += Ansi[at];
    return text;
  }

  // UTF-16LE with its byte-order mark.
  std::string Bytes() const {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : Text) {
      bytes.push_back(static_cast<char>(unit & 0xFF));
      bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
  }

 private:
  TAccountApi& Accounts;
  std::u16string Text;
  std::string Ansi;
};

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string HexBytes(const std::string& bytes) {
  std::string hex;
  char pair[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(pair, sizeof(pair), "%02x", static_cast<unsigned>(static_cast<uint8_t>(bytes[i])));
    hex += (i == 0 ? "" : ",") + std::string(pair);
  }
  return hex;
}

void AddValue(TRegText& text, const TRegistryValue& value) {
  if (value.Name.empty()) {
    text << "@";
  } else {
    text << "\"";
    text.AddAnsi(Escaped(value.Name));
    text << "\"";
  }
  text << "=";
  const bool terminated = value.Data.find('\0') != std::string::npos;
  if (value.Type == TRegistryApi::kRegSz && (terminated || value.Data.empty())) {
    text << "\"";
    text.AddAnsi(Escaped(value.Data.substr(0, value.Data.find('\0'))));
    text << "\"";
  } else if (value.Type == TRegistryApi::kRegDword && value.Data.size() == 4) {
    char dword[16];
    const auto& d = value.Data;
    std::snprintf(dword, sizeof(dword), "%02x%02x%02x%02x", static_cast<uint8_t>(d[3]), static_cast<uint8_t>(d[2]),
                  static_cast<uint8_t>(d[1]), static_cast<uint8_t>(d[0]));
    text << "dword:" << dword;
  } else {
    // A version 5.00 file holds the strings of these types in UTF-16.
    std::string data = value.Data;
    if (value.Type == TRegistryApi::kRegSz || value.Type == TRegistryApi::kRegExpandSz ||
        value.Type == TRegistryApi::kRegMultiSz) {
      data.clear();
      for (const char16_t unit : text.Wide(value.Data)) {
        data.push_back(static_cast<char>(unit & 0xFF));
        data.push_back(static_cast<char>(unit >> 8));
      }
    }
    char kind[16];
    std::snprintf(kind, sizeof(kind), "hex(%x):", static_cast<unsigned>(value.Type));
    text << (value.Type == TRegistryApi::kRegBinary ? "hex:" : kind) << HexBytes(data);
  }
  text << "\r\n";
}

// path: below the root, with leading and trailing backslash.
void AddKey(TRegText& text, TRegistry& registry, const std::string& path) {
  if (!registry.OpenForReading(path)) return;
  const std::vector<TRegistryValue> values = registry.ListValues();
  TStringList subkeys;
  registry.ListSubkeyNames(subkeys);
  registry.Close();
  text << "[HKEY_LOCAL_MACHINE";
  text.AddAnsi(path.substr(0, path.size() - 1));
  text << "]\r\n";
  for (const TRegistryValue& value : values) AddValue(text, value);
  text << "\r\n";
  for (const std::string& subkey : subkeys) AddKey(text, registry, path + subkey + "\\");
}
}  // namespace

void RunExport(TRun& run, const std::string& file) {
  TRegistry registry(run.Platform.Registry, run.Location.RootKey, static_cast<uint32_t>(run.Location.View));
  if (!registry.KeyExists(run.Location.MainKeyPath))
    throw ECommandFailed(run.KeyText() + " does not exist: nothing to export; nortavelctl set USER SCHEDULE makes it");
  TRegText text(run.Platform.Accounts);
  text << kHeader;
  AddKey(text, registry, run.Location.MainKeyPath);
  const std::string bytes = text.Bytes();
  const std::string import = std::string("reg import FILE") +
                             (run.Windows64 ? " /reg:" + TAdmin::ViewName(run.Location.View).substr(0, 2) : "");
  if (file.empty()) {
    // A console shows UTF-16 as letters with gaps; reg import wants it in a
    // file, so only a redirection gets it.
    if (run.Platform.Tool.StandardOutputIsConsole()) {
      run.Out << text.ConsoleText();
      return;
    }
    run.Platform.Tool.BinaryStandardOutput();
    run.Out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    run.Out.flush();
    return;
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out)
    throw ECommandFailed("cannot write " + file + ": check that its folder exists and that it is not read-only");
  run.Out << "Exported " << run.KeyText() << " to " << file << ": on the other computer run " << import << "\n";
}
