// The decisions of an enforcement pass for many users under Wine (or on
// Windows): per user, IsRestrictedNow (one clock read, the user's lookup in
// RestrictedUsers, one character) and the lookup in SeenAccounts, with the real
// clock and CompareStringA. The account calls are left out: Wine's own
// NetUserSetInfo is a stub. Beside it, the same decisions taking each user's
// rules by position instead of looking the name up again, which is what a pass
// linear in the number of users would cost.
//   pass_bench [USERS...]      default 100 1000
// Figures only: the exit code is 0 whatever they are.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/log_sink.h"
#include "engine/engine_state.h"
#include "engine/decision.h"
#include "engine/time_rules.h"

namespace {

class TDroppingLog : public TLogSink {
 public:
  void Log(const std::string&) override {}
  void FlushLog() override {}
};

TEngineState MakeState(int users) {
  TEngineState state;
  for (int i = 0; i < users; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "kid%04d", i);
    state.RestrictedUsers.Add(name);
    TStringList rules;
    for (int day = 0; day < 7; ++day) {
      std::string rule(48, '0');
      for (int slot = 0; slot < 48; ++slot)
        if ((i + 5 * day + slot) % 3 == 0) rule[slot] = '1';
      rules.Add(rule);
    }
    state.UserRules.push_back(rules);
  }
  for (int i = 0; i < 20; ++i) state.SeenAccounts.Add("owner" + std::to_string(i));
  return state;
}

double Seconds() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Runs pass() until a second has gone by (at least three times); ms per pass.
template <typename Pass>
double TimePasses(Pass pass) {
  const double start = Seconds();
  int passes = 0;
  while (passes < 3 || Seconds() - start < 1.0) {
    pass();
    ++passes;
  }
  return (Seconds() - start) * 1000 / passes;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {100, 1000};

  TClock& clock = PlatformClock();
  TDroppingLog log;
  std::printf("%8s %18s %18s %20s\n", "users", "as built ms/pass", "by position ms", "restricted per pass");
  for (int users : sizes) {
    const TEngineState state = MakeState(users);
    int restricted = 0;
    const double asBuilt = TimePasses([&] {
      restricted = 0;
      for (int i = 0; i < state.RestrictedUsers.Count(); ++i) {
        const std::string user = state.RestrictedUsers[i];
        if (IsRestrictedNow(state, clock, log, user)) {
          ++restricted;
          if (state.SeenAccounts.IndexOf(user) >= 0) std::abort();  // nobody restricted is seen here
        }
      }
    });
    int restrictedByPosition = 0;
    const double byPosition = TimePasses([&] {
      restrictedByPosition = 0;
      for (int i = 0; i < state.RestrictedUsers.Count(); ++i) {
        const std::string user = state.RestrictedUsers[i];
        const TDateTime now = clock.LocalNow();
        const std::string& rule = state.UserRules[static_cast<size_t>(i)][DayIndexOf(now)];
        if (rule[static_cast<size_t>(SlotIndexOf(now))] != '0') {
          ++restrictedByPosition;
          if (state.SeenAccounts.IndexOf(user) >= 0) std::abort();
        }
      }
    });
    std::printf("%8d %18.2f %18.2f %20d\n", users, asBuilt, byPosition, restricted);
    if (restricted != restrictedByPosition) std::printf("  (the two loops disagree: %d)\n", restrictedByPosition);
  }
  return 0;
}
