// Rule evaluation over arbitrary rule bytes, times and levels: never reads past
// the rule, answers exactly as the rule's character says, and the trace line is
// always the designed text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/debug_level.h"
#include "engine/decision.h"
#include "engine/time_rules.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/recording_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  TDateTime now;
  now.DayOfWeek = data[0] % 7;
  now.Hour = data[1] % 24;
  now.Minute = data[2] % 60;
  TConfiguration state;
  state.DebugLevel = static_cast<int8_t>(data[3]);
  const size_t rules = data[4] % 9;  // 0..8 rules, so some days have none
  const std::string rule(reinterpret_cast<const char*>(data + 5), size - 5);
  state.RestrictedUsers.Add("kid");
  state.UserRules.emplace_back();
  for (size_t i = 0; i < rules; ++i) state.UserRules.back().Add(rule);

  TFakeClock clock;
  clock.Set(now);
  TRecordingLog log;
  const bool restricted = IsRestrictedNow(state, clock, log, "KID");

  const int day = DayIndexOf(now);
  const int slot = SlotIndexOf(now);
  const std::string ofDay = static_cast<size_t>(day) < rules ? rule : std::string();
  const bool answerable = static_cast<size_t>(slot) < ofDay.size();
  if (restricted != (answerable && ofDay[static_cast<size_t>(slot)] != '0')) abort();
  if (LevelAdmits(state.DebugLevel, 3)) {
    if (log.Messages.size() < 2 || log.Messages[0] != "Checking user:KID") abort();
    const std::string expected = "Time control check: day=" + std::to_string(day) + " position[" +
                                 std::to_string(slot) + "]=" +
                                 (answerable ? std::string(1, ofDay[static_cast<size_t>(slot)]) : std::string()) +
                                 " rule=" + ofDay;
    if (log.Messages[1] != expected) abort();
  } else if (answerable && !log.Messages.empty()) {
    abort();
  }
  return 0;
}
