#include "winsys/configuration.h"

#include <cstdint>
#include <string>
#include <utility>

#include "common/debug_level.h"
#include "diag/messages.h"
#include "winsys/registry.h"

namespace {

// Whether the last character of text is a backslash. In a double-byte code page
// the byte 0x5C may be the second half of a character, and a trail byte cannot be
// told from a single-byte character by itself, so the text is walked from its
// start. A lead byte as the very last byte stands alone.
bool EndsWithBackslash(const std::string& text, TLeadByteTest isLeadByte) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < text.size();) {
    last = i;
    i += isLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
  }
  return last != std::string::npos && last + 1 == text.size() && text[last] == '\\';
}

// One load: the registry, where to read and how to log.
struct TLoad {
  TRegistry& Registry;
  const TConfigLocation& Location;
  TLogSink& Log;
};

void ReadDebugLevel(TConfiguration& state, const TLoad& load) {
  TRegistry& registry = load.Registry;
  const std::string& mainKey = load.Location.MainKeyPath;
  if (registry.OpenForReading(mainKey) && registry.ValueExists(kDebugValue)) {
    state.DebugLevel = registry.ReadInteger(kDebugValue);
    registry.Close();
    return;
  }
  state.DebugLevel = 1;
  if (LevelAdmits(state.DebugLevel, 1)) load.Log.Log(kMsgNoDebugLevel + mainKey);
}

void ReadAppPath(TConfiguration& state, const TLoad& load, TLeadByteTest isLeadByte) {
  TRegistry& registry = load.Registry;
  const std::string& mainKey = load.Location.MainKeyPath;
  if (registry.OpenForReading(mainKey) && registry.ValueExists(kPathValue)) {
    std::string path = registry.ReadString(kPathValue);
    if (!EndsWithBackslash(path, isLeadByte)) path += '\\';
    state.AppPath = std::move(path);
    registry.Close();
    return;
  }
  state.AppPath.clear();
  if (LevelAdmits(state.DebugLevel, 1)) load.Log.Log(kMsgNoApplicationPath + mainKey);
}

TStringList ReadDayRules(const TConfiguration& state, TRegistry& registry, TLogSink& log) {
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

void ReadRestrictedUsers(TConfiguration& state, const TLoad& load) {
  TRegistry& registry = load.Registry;
  const std::string restrictionsKey = load.Location.RestrictionsKeyPath();
  if (!registry.OpenForReading(restrictionsKey)) {
    if (LevelAdmits(state.DebugLevel, 2)) load.Log.Log(kMsgNoRestrictedUsers);
    return;
  }
  registry.ListSubkeyNames(state.RestrictedUsers);
  registry.Close();

  for (int i = 0; i < state.RestrictedUsers.Count(); ++i) {
    const std::string user = state.RestrictedUsers[i];
    if (LevelAdmits(state.DebugLevel, 2)) load.Log.Log(kMsgReadingTimes + user);
    // A user whose key cannot be opened keeps an empty rule list, so that
    // position i of UserRules still belongs to position i of RestrictedUsers.
    const bool opened = registry.OpenForReading(restrictionsKey + user);
    state.UserRules.push_back(opened ? ReadDayRules(state, registry, load.Log) : TStringList());
    registry.Close();
  }
}
}  // namespace

bool LoadConfiguration(TConfiguration& state, TRegistryApi& api, const TConfigLocation& location, TLogSink& log,
                       TLeadByteTest isLeadByte) {
  TRegistry registry(api, location.RootKey, static_cast<uint32_t>(location.View));
  const TLoad load{registry, location, log};
  ClearConfiguration(state);
  // Without the main key the level and the folder stay as they were.
  if (registry.KeyExists(location.MainKeyPath)) {
    ReadDebugLevel(state, load);
    ReadAppPath(state, load, isLeadByte);
  }
  if (registry.KeyExists(location.RestrictionsKeyPath())) ReadRestrictedUsers(state, load);
  registry.Close();
  return true;
}

void ClearConfiguration(TConfiguration& state) {
  state.RestrictedUsers.Clear();
  state.UserRules.clear();
}
