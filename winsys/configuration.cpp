#include "winsys/configuration.h"

#include <cstdint>
#include <string>
#include <utility>

#include "common/debug_level.h"
#include "diag/messages.h"
#include "winsys/registry.h"

namespace {
constexpr char kDebugValue[] = "Debug";
constexpr char kPathValue[] = "Path";
constexpr char kTimeValuePrefix[] = "Time";

// Whether the last character of text is a backslash. In a double-byte code page
// the byte 0x5C may be the second half of a character, and a trail byte cannot be
// told from a single-byte character by itself, so the text is walked from its
// start. A lead byte as the very last byte stands alone.
bool EndsWithBackslash(const std::string& text, TRegistryApi& api) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < text.size();) {
    last = i;
    i += api.IsLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
  }
  return last != std::string::npos && last + 1 == text.size() && text[last] == '\\';
}

void ReadDebugLevel(TEngineState& state, TRegistry& registry, TLogSink& log) {
  if (registry.OpenForReading(kMainKeyPath) && registry.ValueExists(kDebugValue)) {
    state.DebugLevel = registry.ReadInteger(kDebugValue);
    registry.Close();
    return;
  }
  state.DebugLevel = 1;
  if (LevelAdmits(state.DebugLevel, 1)) log.Log(std::string(kMsgNoDebugLevel) + kMainKeyPath);
}

void ReadAppPath(TEngineState& state, TRegistry& registry, TRegistryApi& api, TLogSink& log) {
  if (registry.OpenForReading(kMainKeyPath) && registry.ValueExists(kPathValue)) {
    std::string path = registry.ReadString(kPathValue);
    if (!EndsWithBackslash(path, api)) path += '\\';
    state.AppPath = std::move(path);
    registry.Close();
    return;
  }
  state.AppPath.clear();
  if (LevelAdmits(state.DebugLevel, 1)) log.Log(std::string(kMsgNoApplicationPath) + kMainKeyPath);
}

TStringList ReadDayRules(TEngineState& state, TRegistry& registry, TLogSink& log) {
  TStringList rules;
  // No upper bound: Time8, Time9, ... are stored as long as they follow without a gap.
  for (uint64_t n = 1;; ++n) {
    const std::string name = kTimeValuePrefix + std::to_string(n);
    if (!registry.ValueExists(name)) break;
    std::string rule = registry.ReadString(name);
    if (LevelAdmits(state.DebugLevel, 2)) log.Log(kMsgTimeValue + std::to_string(n) + kMsgTimeValueSeparator + rule);
    rules.Add(std::move(rule));
  }
  return rules;
}

void ReadRestrictedUsers(TEngineState& state, TRegistry& registry, TLogSink& log) {
  if (!registry.OpenForReading(kRestrictionsKeyPath)) {
    if (LevelAdmits(state.DebugLevel, 2)) log.Log(kMsgNoRestrictedUsers);
    return;
  }
  registry.ListSubkeyNames(state.RestrictedUsers);
  registry.Close();

  for (int i = 0; i < state.RestrictedUsers.Count(); ++i) {
    const std::string user = state.RestrictedUsers[i];
    if (LevelAdmits(state.DebugLevel, 2)) log.Log(kMsgReadingTimes + user);
    // A user whose key cannot be opened keeps an empty rule list, so that
    // position i of UserRules still belongs to position i of RestrictedUsers.
    const bool opened = registry.OpenForReading(kRestrictionsKeyPath + user);
    state.UserRules.push_back(opened ? ReadDayRules(state, registry, log) : TStringList());
    registry.Close();
  }
}
}  // namespace

bool LoadConfiguration(TEngineState& state, TRegistryApi& api, TLogSink& log) {
  TRegistry registry(api, TRegistryApi::kLocalMachine);
  ClearConfiguration(state);
  // Without the main key the level and the folder stay as they were.
  if (registry.KeyExists(kMainKeyPath)) {
    ReadDebugLevel(state, registry, log);
    ReadAppPath(state, registry, api, log);
  }
  if (registry.KeyExists(kRestrictionsKeyPath)) ReadRestrictedUsers(state, registry, log);
  registry.Close();
  return true;
}

void ClearConfiguration(TEngineState& state) {
  state.RestrictedUsers.Clear();
  state.UserRules.clear();
}
