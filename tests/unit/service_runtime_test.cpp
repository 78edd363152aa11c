// The service runtime against a fake control manager whose threads and queues are
// real: each run goes through RunService on its own service-main thread, the
// service thread the runtime creates, and requests sent from the test's thread
// as the control dispatcher would send them.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "common/format_text.h"
#include "common/system_error.h"
#include "diag/messages.h"
#include "svcmgr/thread.h"
#include "tests/fakes/fake_platform.h"

namespace {

using State = TServiceState;

// The real module on the fakes, its log lines and flushes recorded as they come
// (the handlers say which of them ran), and a flush that can be made to fail
// once, as a log folder gone at stop would make it.
class TRuntimeModule : public TNortavelFree {
 public:
  explicit TRuntimeModule(TFakePlatform& platform) : TNortavelFree(platform.View()) {}
  void Log(const std::string& message) override {
    Calls.push_back("log " + message);
    TNortavelFree::Log(message);
  }
  void FlushLog() override {
    Calls.push_back("flush");
    if (FailFlushOnce.exchange(false)) throw Exception("log folder gone");
    TNortavelFree::FlushLog();
  }
  std::vector<std::string> Calls;
  std::atomic<bool> FailFlushOnce{false};
};

// Lets a test hold the service thread inside a handler until it opens the gate.
class TGate {
 public:
  void Enter() {
    std::unique_lock<std::mutex> lock(Lock);
    Entered = true;
    Changed.notify_all();
    Changed.wait(lock, [this] { return Opened; });
  }
  void WaitEntered() {
    std::unique_lock<std::mutex> lock(Lock);
    Changed.wait(lock, [this] { return Entered; });
  }
  void Open() {
    std::lock_guard<std::mutex> guard(Lock);
    Opened = true;
    Changed.notify_all();
  }

 private:
  std::mutex Lock;
  std::condition_variable Changed;
  bool Entered = false;
  bool Opened = false;
};

TServiceStatusRecord Report(State state, uint32_t accepted, uint32_t checkPoint) {
  TServiceStatusRecord record;
  record.ServiceType = 0x10;
  record.CurrentState = static_cast<uint32_t>(state);
  record.ControlsAccepted = accepted;
  record.CheckPoint = checkPoint;
  record.WaitHint = 2000;
  return record;
}

const TServiceStatusRecord kStartPending1 = Report(State::ssStartPending, 0, 1);
const TServiceStatusRecord kStartPending2 = Report(State::ssStartPending, 0, 2);
const TServiceStatusRecord kRunning = Report(State::ssRunning, 5, 0);
const TServiceStatusRecord kStopPending = Report(State::ssStopPending, 5, 0);
const TServiceStatusRecord kStopped = Report(State::ssStopped, 5, 0);

std::vector<uint32_t> States(const std::vector<TServiceStatusRecord>& reports) {
  std::vector<uint32_t> states;
  for (const auto& report : reports) states.push_back(report.CurrentState);
  return states;
}

std::vector<std::string> Messages(const std::vector<TRecordedEvent>& events) {
  std::vector<std::string> messages;
  for (const auto& event : events) messages.push_back(event.Message);
  return messages;
}

int CountOf(const std::vector<std::string>& calls, const std::string& call) {
  return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

class ServiceRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStatusReportMemory();
    NortavelFree = &Module;
    Module.DebugLevel = 3;  // the lifecycle messages show which handler ran
    Runtime.ReportProbe = [this] { return Platform.Timers.IsArmed() ? "armed" : "disarmed"; };
  }
  void TearDown() override {
    // A test that failed half-way leaves the service running: stop it.
    if (ServiceMain.joinable()) {
      Module.FailFlushOnce = false;
      Runtime.Control(kControlStop);
      ServiceMain.join();
    }
    NortavelFree = nullptr;
  }

  void StartService() {
    ServiceMain = std::thread([this] {
      MainThreadId = Runtime.CurrentThreadId();
      char name[] = "NortavelFree";
      char* args[] = {name, nullptr};
      Module.RunService(1, args);
    });
  }
  void StartAndWaitRunning() {
    StartService();
    ASSERT_TRUE(Runtime.WaitForReports(3));
    ASSERT_EQ(Runtime.Reports()[2], kRunning);
  }
  // Fails instead of hanging when the run does not come to its stopped report;
  // TearDown then stops it.
  void WaitServiceEnd() {
    ASSERT_TRUE(Runtime.WaitForReport(static_cast<uint32_t>(State::ssStopped))) << "the service did not stop";
    ServiceMain.join();
  }

  // The service thread takes its messages in arrival order, so once a plain
  // thread message posted now has been dispatched, everything sent before it
  // has been handled.
  void Barrier() {
    const auto dispatched = Runtime.Dispatched();
    const size_t before = std::count(dispatched.begin(), dispatched.end(), kBarrierMessage);
    ASSERT_TRUE(Runtime.PostToThread(Runtime.LastSpawnedId(), kBarrierMessage, 0, 0));
    ASSERT_TRUE(Runtime.WaitForDispatched(kBarrierMessage, before + 1));
  }
  static constexpr uint32_t kBarrierMessage = kWmUser + 0x77;

  TFakePlatform Platform;
  TFakeServiceRuntime& Runtime = Platform.ServiceRuntime;
  TRuntimeModule Module{Platform};
  std::thread ServiceMain;
  std::atomic<uint32_t> MainThreadId{0};
};

TEST_F(ServiceRuntimeTest, StopRunSendsTheFiveReportsWithTheTimerDisarmedBeforeTheLast) {
  StartAndWaitRunning();
  Runtime.Control(kControlStop);
  WaitServiceEnd();

  EXPECT_EQ(Runtime.Reports(),
            (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kRunning, kStopPending, kStopped}));
  // Armed by ServiceExecute after the running report, disarmed before the last.
  EXPECT_EQ(Runtime.ReportNotes(),
            (std::vector<std::string>{"disarmed", "disarmed", "disarmed", "armed", "disarmed"}));
  // The first and the last report come from the service-main thread, the rest
  // from the service thread.
  const uint32_t service = Runtime.LastSpawnedId();
  EXPECT_EQ(Runtime.ReportThreads(),
            (std::vector<uint32_t>{MainThreadId, service, service, service, MainThreadId.load()}));
  EXPECT_EQ(CountOf(Module.Calls, std::string("log ") + kMsgServiceStopped), 1);
  EXPECT_EQ(CountOf(Module.Calls, std::string("log ") + kMsgServiceShutdown), 0);
  EXPECT_TRUE(Runtime.Events().empty());
}

TEST_F(ServiceRuntimeTest, CallsReachTheSystemWithTheDocumentedArguments) {
  StartAndWaitRunning();
  const uint32_t service = Runtime.LastSpawnedId();
  Runtime.Control(kControlStop);
  WaitServiceEnd();

  EXPECT_EQ(Runtime.RegisteredName(), "NortavelFree");
  EXPECT_EQ(Runtime.RegisteredEntry(), Module.GetControlEntry());
  EXPECT_EQ(Runtime.CallsOn(MainThreadId),
            (std::vector<std::string>{"register NortavelFree", "status 1472 2 1", "spawn 4", "resume",
                                      "wait 4294967295", "close", "status 1472 1 0"}));
  const auto serviceCalls = Runtime.CallsOn(service);
  ASSERT_GE(serviceCalls.size(), 5u);
  // The queue comes first, so that requests can be posted before ServiceStart runs.
  EXPECT_EQ(serviceCalls[0], "peek 0 1024 1024 0");
  EXPECT_EQ(serviceCalls[1], "status 1472 2 2");
  EXPECT_EQ(CountOf(serviceCalls, "get 0 0 0"), 1);
  // The drain after ServiceExecute does not wait.
  EXPECT_EQ(serviceCalls.back(), "peek 0 0 0 1");
  EXPECT_EQ(CountOf(Runtime.Calls(), "post " + std::to_string(service) + " 1025 1 0"), 1);
}

TEST_F(ServiceRuntimeTest, ShutdownRunsServiceShutdownOnceAndNeverServiceStop) {
  StartAndWaitRunning();
  Runtime.Control(kControlShutdown);
  WaitServiceEnd();

  EXPECT_EQ(Runtime.Reports(),
            (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kRunning, kStopPending, kStopped}));
  EXPECT_EQ(CountOf(Module.Calls, std::string("log ") + kMsgServiceShutdown), 1);
  EXPECT_EQ(CountOf(Module.Calls, std::string("log ") + kMsgServiceStopped), 0);
  EXPECT_TRUE(Module.ListsReleased());
  EXPECT_EQ(Runtime.ReportNotes().back(), "disarmed");
}

TEST_F(ServiceRuntimeTest, InterrogateRepeatsTheRunningReportAndUserCodesDoNothing) {
  StartAndWaitRunning();
  const auto callsBefore = Module.Calls;
  Runtime.Control(kControlInterrogate);
  for (uint32_t code : {128u, 200u, 255u}) Runtime.Control(code);
  // A thread message that is no control request is dispatched, not handled.
  ASSERT_TRUE(Runtime.PostToThread(Runtime.LastSpawnedId(), kWmUser, 7, 0));
  Barrier();

  EXPECT_EQ(Runtime.Reports(),
            (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kRunning, kRunning}));
  EXPECT_EQ(Runtime.Dispatched(), (std::vector<uint32_t>{kWmUser, kBarrierMessage}));
  EXPECT_EQ(Module.Calls, callsBefore);
  EXPECT_TRUE(Runtime.Events().empty());
}

TEST_F(ServiceRuntimeTest, ShutdownQueuedBehindStopIsHandledByTheDrainAfterTheTimerIsDisarmed) {
  TGate gate;
  std::vector<bool> armedAtShutdown;
  Module.OnStop = [&](TService* sender, bool& stopped) {
    gate.Enter();
    Module.ServiceStop(sender, stopped);
  };
  Module.OnShutdown = [&](TService* sender) {
    armedAtShutdown.push_back(Platform.Timers.IsArmed());
    Module.ServiceShutdown(sender);
  };
  StartAndWaitRunning();
  Runtime.Control(kControlStop);
  gate.WaitEntered();
  Runtime.Control(kControlShutdown);
  gate.Open();
  WaitServiceEnd();

  EXPECT_EQ(Runtime.Reports(), (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kRunning,
                                                                   kStopPending, Report(State::ssStopPending, 5, 1),
                                                                   kStopped}));
  EXPECT_EQ(armedAtShutdown, std::vector<bool>{false});
  const auto stopAt = std::find(Module.Calls.begin(), Module.Calls.end(), std::string("log ") + kMsgServiceStopped);
  const auto shutdownAt =
      std::find(Module.Calls.begin(), Module.Calls.end(), std::string("log ") + kMsgServiceShutdown);
  ASSERT_NE(stopAt, Module.Calls.end());
  EXPECT_LT(stopAt, shutdownAt);
}

TEST_F(ServiceRuntimeTest, FailingServiceStopReportsRunningAgainAndTheServiceTicksOn) {
  StartAndWaitRunning();
  Module.FailFlushOnce = true;
  Runtime.Control(kControlStop);
  Barrier();

  EXPECT_EQ(Runtime.Reports(), (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kRunning,
                                                                   kStopPending, kRunning}));
  const auto events = Runtime.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Source, "NortavelFree");
  EXPECT_EQ(events[0].Type, 1);
  EXPECT_EQ(events[0].Category, 0);
  EXPECT_EQ(events[0].Id, 0u);
  EXPECT_EQ(events[0].Message, "Service failed on stop: log folder gone");
  EXPECT_TRUE(Platform.Timers.IsArmed());
  Module.Timer1Timer(&Module.Timer1);  // a tick, as the main thread would deliver it
  EXPECT_EQ(Module.Calls.back(), "flush");

  // A later stop goes through.
  Runtime.Control(kControlStop);
  WaitServiceEnd();
  EXPECT_EQ(Runtime.Reports().back(), kStopped);
  EXPECT_EQ(Runtime.Events().size(), 1u);
}

TEST_F(ServiceRuntimeTest, FailingServiceShutdownStillStops) {
  StartAndWaitRunning();
  Module.FailFlushOnce = true;
  Runtime.Control(kControlShutdown);
  WaitServiceEnd();

  // Stop pending is not reported again after the failure.
  EXPECT_EQ(Runtime.Reports(),
            (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kRunning, kStopPending, kStopped}));
  EXPECT_EQ(Messages(Runtime.Events()), std::vector<std::string>{"Service failed on shutdown: log folder gone"});
}

struct StartFailure {
  const char* Name;
  std::function<void()> Raise;
  std::vector<std::string> Events;
};

class ServiceStartFailureTest : public ServiceRuntimeTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(ServiceStartFailureTest, ReportsTwoStartPendingThenStoppedWithExitCodeZero) {
  const std::function<void()> raise = GetParam().Raise;
  Module.OnStart = [raise](TService*, bool&) { raise(); };
  StartService();
  WaitServiceEnd();

  EXPECT_EQ(Runtime.Reports(), (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kStopped}));
  EXPECT_EQ(Messages(Runtime.Events()), GetParam().Events);
  for (const auto& call : Platform.Timers.TakeCalls()) EXPECT_NE(call.rfind("set", 0), 0u) << call;
}

INSTANTIATE_TEST_SUITE_P(
    Raised, ServiceStartFailureTest,
    ::testing::Values(
        StartFailure{"RegistryError", [] { throw ERegistryException("Invalid data type for 'Debug'"); },
                     {"Service failed on start: Invalid data type for 'Debug'"}},
        StartFailure{"StandardError", [] { throw std::runtime_error("bad state"); },
                     {"Service failed on start: bad state"}},
        // Not an error of either family: the thread ends without a message.
        StartFailure{"OtherObject", [] { throw 42; }, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ServiceRuntimeTest, StartHandlerClearingStartedEndsTheRunWithoutRunning) {
  Module.OnStart = [](TService*, bool& started) { started = false; };
  StartService();
  WaitServiceEnd();
  EXPECT_EQ(Runtime.Reports(), (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kStopped}));
  EXPECT_TRUE(Runtime.Events().empty());
}

TEST_F(ServiceRuntimeTest, TimerThatCannotBeArmedFailsExecute) {
  Platform.Timers.FailSetTimer = true;
  StartService();
  WaitServiceEnd();

  EXPECT_EQ(Runtime.Reports(),
            (std::vector<TServiceStatusRecord>{kStartPending1, kStartPending2, kRunning, kStopped}));
  EXPECT_EQ(Messages(Runtime.Events()),
            std::vector<std::string>{"Service failed on execute: Not enough timers available"});
  // The drain is skipped.
  EXPECT_EQ(CountOf(Runtime.CallsOn(Runtime.LastSpawnedId()), "peek 0 0 0 1"), 0);
}

TEST_F(ServiceRuntimeTest, FailedRegistrationWritesOneEventAndReportsNothing) {
  Runtime.FailRegistration = 1063;
  char name[] = "NortavelFree";
  char* args[] = {name, nullptr};
  Module.RunService(1, args);

  EXPECT_TRUE(Runtime.Reports().empty());
  EXPECT_EQ(CountOf(Runtime.Calls(), "spawn 4"), 0);
  const auto events = Runtime.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Source, "NortavelFree");
  EXPECT_EQ(events[0].Message, SystemErrorText(1063));
}

struct ThreadFailure {
  const char* Name;
  uint32_t TFakeServiceRuntime::*Fail;
  const char* Format;
};

class ServiceThreadFailureTest : public ServiceRuntimeTest, public ::testing::WithParamInterface<ThreadFailure> {};

// The event comes before the stopped report: after that report the program may
// end at any moment.
TEST_P(ServiceThreadFailureTest, WritesTheThreadErrorThenReportsStopped) {
  Runtime.*(GetParam().Fail) = 8;  // ERROR_NOT_ENOUGH_MEMORY
  StartService();
  WaitServiceEnd();

  const std::string error = FormatText(GetParam().Format, {SystemErrorText(8)});
  EXPECT_EQ(Runtime.Journal(),
            (std::vector<std::string>{"report 2 1", "event Service failed on execute: " + error, "report 1 0"}));
  EXPECT_EQ(Runtime.Reports().back(), kStopped);
  // The service's handlers never ran.
  EXPECT_TRUE(Module.Calls.empty());
}

INSTANTIATE_TEST_SUITE_P(Fails, ServiceThreadFailureTest,
                         ::testing::Values(ThreadFailure{"Creation", &TFakeServiceRuntime::FailSpawn,
                                                         kThreadCreationError},
                                           ThreadFailure{"Resume", &TFakeServiceRuntime::FailResume,
                                                         kThreadResumeError}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ServiceRuntimeTest, RefusedReportsAreWrittenToTheEventLogAndTheRunGoesOn) {
  Runtime.FailReportStatus = 6;  // ERROR_INVALID_HANDLE
  StartAndWaitRunning();
  Runtime.Control(kControlStop);
  WaitServiceEnd();

  EXPECT_EQ(States(Runtime.Reports()), (std::vector<uint32_t>{2, 2, 4, 3, 1}));
  EXPECT_EQ(Messages(Runtime.Events()), std::vector<std::string>(5, SystemErrorText(6)));
}

TEST_F(ServiceRuntimeTest, RequestsWithoutAServiceThreadAreDropped) {
  Module.PostControlRequest(kControlStop);
  StartAndWaitRunning();
  Runtime.Control(kControlStop);
  WaitServiceEnd();
  const size_t posts = CountOf(Runtime.Calls(), "post " + std::to_string(Runtime.LastSpawnedId()) + " 1025 1 0");
  Runtime.Control(kControlStop);
  Runtime.Control(kControlInterrogate);

  EXPECT_EQ(posts, 1u);
  const auto calls = Runtime.Calls();
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& call) { return call.rfind("post", 0) == 0; }),
            1);
  EXPECT_FALSE(Module.StopRequested());
}

// A dispatcher that keeps interrogating and a main thread that keeps ticking for
// the whole run, from before registration to after the thread is released: run
// under ThreadSanitizer this shows that neither touches the runtime's or the
// module's state unguarded, and that nothing reaches a released thread object.
TEST_F(ServiceRuntimeTest, RequestsAndTicksAroundAWholeRunAreSafe) {
  Module.DebugLevel = 2;
  std::atomic<bool> done{false};
  std::thread dispatcher([&] {
    while (!done) {
      Runtime.Control(kControlInterrogate);
      // Paced, so that the drain after the stop finds the queue empty at last.
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  });
  std::thread ticker([&] {
    while (!done) {
      if (Module.Timer1.Enabled()) Module.Timer1Timer(&Module.Timer1);
      std::this_thread::yield();
    }
  });
  StartAndWaitRunning();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Runtime.Control(kControlStop);
  WaitServiceEnd();
  done = true;
  dispatcher.join();
  ticker.join();

  const auto reports = Runtime.Reports();
  ASSERT_GE(reports.size(), 5u);
  EXPECT_EQ(reports.front(), kStartPending1);
  EXPECT_EQ(reports.back(), kStopped);
  EXPECT_TRUE(Runtime.Events().empty());
  for (size_t i = 3; i + 1 < reports.size(); ++i) {
    // Between start and stop only running and stop-pending reports, the latter
    // counting up while interrogations repeat it.
    const uint32_t state = reports[i].CurrentState;
    EXPECT_TRUE(state == 4 || state == 3) << i;
    if (state == 3 && reports[i - 1].CurrentState == 3) {
      EXPECT_EQ(reports[i].CheckPoint, reports[i - 1].CheckPoint + 1) << i;
    }
  }
}

}  // namespace
