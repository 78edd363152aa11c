#include <gtest/gtest.h>

#include "common/format_text.h"
#include "svcmgr/service.h"
#include "svcmgr/service_status.h"
#include "svcmgr/thread.h"

namespace {

using State = TServiceState;

TEST(ServiceStatusTest, CheckPointCountsOnlyRepeatedPendingStates) {
  ResetStatusReportMemory();
  // The memory starts at start pending, so the first report of a run is a repeat.
  const std::vector<std::pair<State, uint32_t>> sequence = {
      {State::ssStartPending, 1}, {State::ssStartPending, 2}, {State::ssRunning, 0}, {State::ssRunning, 0},
      {State::ssStopPending, 0},  {State::ssStopPending, 1},  {State::ssRunning, 0}, {State::ssStopPending, 0},
      {State::ssStopped, 0},      {State::ssStopped, 0},      {State::ssStartPending, 0}};
  for (size_t i = 0; i < sequence.size(); ++i)
    EXPECT_EQ(NextStatusCheckPoint(sequence[i].first), sequence[i].second) << "report " << i + 1;
  ResetStatusReportMemory();
  EXPECT_EQ(NextStatusCheckPoint(State::ssStartPending), 1u);
}

TEST(ServiceStatusTest, AcceptedControlsAreNoneWhileStartingElseShutdownAndWhatIsAllowed) {
  struct Case {
    State CurrentState;
    bool AllowStop, AllowPause;
    uint32_t Accepted;
  };
  const Case cases[] = {
      {State::ssStartPending, true, true, 0}, {State::ssRunning, true, false, 5},
      {State::ssStopPending, true, false, 5}, {State::ssStopped, true, false, 5},
      {State::ssRunning, false, false, 4},    {State::ssRunning, true, true, 7},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AcceptedControls(c.CurrentState, c.AllowStop, c.AllowPause), c.Accepted)
        << static_cast<uint32_t>(c.CurrentState) << " " << c.AllowStop << c.AllowPause;
}

TEST(ServiceStatusTest, FormatTextFillsPlaceholdersInOrderAndLeavesInsertedTextAlone) {
  EXPECT_EQ(FormatText(kServiceFailedFormat, {"stop", "disk full"}), "Service failed on stop: disk full");
  EXPECT_EQ(FormatText(kServiceFailedFormat, {"execute", "100% %s done"}), "Service failed on execute: 100% %s done");
  EXPECT_EQ(FormatText(kThreadCreationError, {""}), "Thread creation error: ");
  EXPECT_EQ(FormatText("%s and %s", {"one"}), "one and %s");
}

}  // namespace
