#include <gtest/gtest.h>

#include "common/system_error.h"
#include "svcmgr/SvcMgr.h"
#include "tests/fakes/fake_app_api.h"
#include "tests/fakes/fake_app_service.h"

namespace {

using Strings = std::vector<std::string>;

constexpr char kExe[] = "nortavel_free_service.exe";

class AppTest : public ::testing::Test {
 protected:
  // The program entry as WinMain runs it, with the journal service as the module.
  int RunProgram(const std::string& arguments) {
    Process.CommandLineText = std::string(kExe) + " " + arguments;
    TApplication forms(Loop);
    TServiceApplication application(TServiceApplicationPlatform{Process, Loop, Scm, Events, Scm}, forms);
    const int exitCode = RunServiceProgram(application, [this](TServiceApplication& app) {
      app.CreateModule(Module, [this] {
        if (FailConstruction) throw ERegistryException("construction failed");
        auto module = std::make_unique<TJournalService>(Journal);
        module->FailDestroy = FailDestroy;
        if (Configure) Configure(*module);
        return module;
      });
      Title = app.Title;
      Initialized = app.Initialized;
      MainFormShown = app.Forms.ShowMainForm;
    });
    EXPECT_EQ(Module, nullptr) << "the module outlived the program";
    EndedTerminated = forms.Terminated();
    return exitCode;
  }

  std::vector<TShownBox> Boxes() { return Process.TakeBoxes(); }
  Strings EventTexts() const {
    Strings texts;
    for (const TAppEvent& event : Events.Events) texts.push_back(event.Message);
    return texts;
  }

  TFakeApplicationApi Process;
  TFakeMessageLoopApi Loop;
  TFakeServiceManagerApi Scm;
  TFakeAppEventLog Events;
  TJournalService* Module = nullptr;
  Strings Journal;
  bool FailConstruction = false, FailDestroy = false;
  std::function<void(TJournalService&)> Configure;  // the module's properties beyond the defaults
  std::string Title;
  bool Initialized = false, MainFormShown = true, EndedTerminated = false;
};

// --- Installation and removal ---

struct RegistrationCase {
  const char* Name;
  std::string Arguments;
  bool AlreadyInstalled;
  Strings ExpectedRegistered;
  std::string ExpectedCaption;  // empty: no dialog at all
  std::string ExpectedText;
};

class RegistrationTest : public AppTest, public ::testing::WithParamInterface<RegistrationCase> {};

TEST_P(RegistrationTest, ChangesTheRegistrationAndReportsTheOutcome) {
  const RegistrationCase& c = GetParam();
  if (c.AlreadyInstalled) Scm.Registered.insert("NortavelFree");
  EXPECT_EQ(RunProgram(c.Arguments), 0);
  EXPECT_EQ(Strings(Scm.Registered.begin(), Scm.Registered.end()), c.ExpectedRegistered);
  const auto boxes = Boxes();
  if (c.ExpectedCaption.empty()) {
    EXPECT_TRUE(boxes.empty()) << boxes.front().Text;
  } else {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, c.ExpectedCaption);
    EXPECT_EQ(boxes[0].Text, c.ExpectedText);
    // MB_OK | MB_TASKMODAL and the matching icon: one default OK button, modal.
    EXPECT_EQ(boxes[0].Flags, c.ExpectedCaption == "Error" ? 0x2010u : 0x2040u);
  }
  EXPECT_TRUE(Scm.Open.empty()) << "a handle was left open";
  EXPECT_TRUE(Process.Table.empty()) << "an install run connected to the dispatcher";
  EXPECT_TRUE(Events.Events.empty());
  // Every kind of run creates and destroys the module.
  EXPECT_EQ(Journal, (Strings{"create NortavelFree", "destroy NortavelFree", "deleted NortavelFree"}));
}

const std::string kExists = "Service \"Nortavel free\" failed to install with error: \"System Error.  Code: 1073.\r\n" +
                            SystemErrorText(1073) + "\"";
const std::string kMissing = "Service \"Nortavel free\" failed to uninstall with error: \"System Error.  Code: 1060.\r\n" +
                             SystemErrorText(1060) + "\"";

INSTANTIATE_TEST_SUITE_P(
    App, RegistrationTest,
    ::testing::Values(
        RegistrationCase{"Install", "/INSTALL", false, {"NortavelFree"}, "Information",
                         "Service installed successfully"},
        RegistrationCase{"InstallSilent", "/INSTALL /SILENT", false, {"NortavelFree"}, "", ""},
        RegistrationCase{"InstallTwice", "/INSTALL", true, {"NortavelFree"}, "Error", kExists},
        RegistrationCase{"SilentShowsFailures", "-silent -install", true, {"NortavelFree"}, "Error", kExists},
        RegistrationCase{"Uninstall", "/UNINSTALL", true, {}, "Information", "Service uninstalled successfully"},
        RegistrationCase{"UninstallSilent", "/Uninstall /Silent", true, {}, "", ""},
        RegistrationCase{"UninstallMissing", "/UNINSTALL /SILENT", false, {}, "Error", kMissing},
        RegistrationCase{"BothSwitchesOnlyInstall", "/UNINSTALL /INSTALL", true, {"NortavelFree"}, "Error",
                         kExists}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(AppTest, InstallRegistersTheExecutablePath) {
  RunProgram("/INSTALL /SILENT");
  ASSERT_EQ(Scm.Created.size(), 1u);
  EXPECT_EQ(Scm.Created[0].BinaryPathName, "\"" + Process.ExecutablePath + "\"");  // it holds blanks
  EXPECT_EQ(Process.Rooms, (std::vector<uint32_t>{261, 261}));  // the logger's name, then the path
  EXPECT_EQ(Title, "Nortavel free service");
  EXPECT_TRUE(Initialized);
  EXPECT_FALSE(MainFormShown);
}

// --- Event sources ---

const std::string kSourcesKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

TEST_F(AppTest, InstallWritesTheKeysOfBothEventSourcesAndRemovalDeletesThem) {
  RunProgram("/INSTALL /SILENT");
  EXPECT_EQ(Scm.Keys.size(), 2u);
  // The values' types and bytes are checked once, under Wine.
  for (const std::string source : {"NortavelFree", kExe})
    EXPECT_EQ(Scm.Keys[kSourcesKey + source]["EventMessageFile"].Data, Process.ExecutablePath + '\0') << source;
  RunProgram("/UNINSTALL /SILENT");
  EXPECT_TRUE(Scm.Keys.empty());
  EXPECT_TRUE(Events.Events.empty());
  EXPECT_TRUE(Scm.Open.empty());
}

TEST_F(AppTest, FailedInstallWritesNoKeyButRemovalOfAMissingServiceDeletesThem) {
  Scm.Registered.insert("NortavelFree");
  RunProgram("/INSTALL /SILENT");
  EXPECT_TRUE(Scm.Keys.empty());
  Scm.Registered.clear();
  Scm.Keys[kSourcesKey + "NortavelFree"];
  Scm.Keys[kSourcesKey + kExe];
  RunProgram("/UNINSTALL /SILENT");
  EXPECT_TRUE(Scm.Keys.empty());
  EXPECT_EQ(Boxes().size(), 2u);  // the two failures, as before
}

// The protections of a service that must not be escaped: Safe Mode, restarts
// after a failure, and its own handler before it is removed.
void Protect(TJournalService& service, Strings& journal, const TFakeServiceManagerApi& scm) {
  service.StartsInSafeMode = true;
  service.RestartDelays = {10000, 10000, 10000};
  service.FailureResetSeconds = 86400;
  service.Access = "D:(A;;CC;;;SY)";
  service.BeforeUninstall = [&journal, &scm](TService* sender) {
    journal.push_back("before uninstall " + sender->Name + (scm.Registered.count(sender->Name) ? " registered" : ""));
  };
}

const std::string kSafeBoot = "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\";

TEST_F(AppTest, InstallProtectsTheServiceAsItsPropertiesAskAndRemovalUndoesIt) {
  Configure = [this](TJournalService& service) { Protect(service, Journal, Scm); };
  RunProgram("/INSTALL /SILENT");
  // The values' type and bytes are checked once, under Wine.
  for (const std::string mode : {"Minimal", "Network"}) EXPECT_EQ(Scm.Keys.count(kSafeBoot + mode + "\\NortavelFree"), 1u) << mode;
  EXPECT_EQ(std::count(Scm.Calls.begin(), Scm.Calls.end(),
                       "failure-actions NortavelFree reset 86400 1/10000 1/10000 1/10000"), 1);
  const auto access = std::find(Scm.Calls.begin(), Scm.Calls.end(), "access NortavelFree D:(A;;CC;;;SY)");
  ASSERT_NE(access, Scm.Calls.end());
  EXPECT_EQ(*(access - 1), "open NortavelFree 262144") << "WRITE_DAC, and no more";
  EXPECT_EQ(Scm.Keys.size(), 4u);
  Journal.clear();
  RunProgram("/UNINSTALL /SILENT");
  EXPECT_TRUE(Scm.Keys.empty());
  EXPECT_EQ(Journal[1], "before uninstall NortavelFree registered");
  // Also when the service was removed by other means.
  Scm.Keys[kSafeBoot + "Minimal\\NortavelFree"];
  Journal.clear();
  RunProgram("/UNINSTALL /SILENT");
  EXPECT_TRUE(Scm.Keys.empty());
  EXPECT_EQ(Journal[1], "before uninstall NortavelFree");
  EXPECT_TRUE(Events.Events.empty());
  EXPECT_TRUE(Scm.Open.empty());
}

// A removal stops the service before its handler gives the users' hours back;
// one that does not stop within 30 seconds, or cannot be asked to, is left
// whole: registered, protected, and locking as before.
struct StopCase {
  const char* Name;
  int PausesToStop;  // of half a second
  uint32_t FailControl;
  std::string Error;  // empty: removed
};

class StopBeforeRemovalTest : public AppTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopBeforeRemovalTest, UnlocksAndRemovesOnlyAStoppedService) {
  const StopCase& c = GetParam();
  Configure = [this](TJournalService& service) {
    Protect(service, Journal, Scm);
    service.BeforeUninstall = [this](TService*) {
      Journal.push_back(Scm.State == Scm.kStateStopped ? "unlock stopped" : "unlock running");
    };
  };
  RunProgram("/INSTALL /SILENT");
  Scm.State = Scm.kStateRunning;
  Scm.PausesToStop = c.PausesToStop;
  Scm.FailControl = c.FailControl;
  Journal.clear();
  RunProgram("/UNINSTALL /SILENT");
  EXPECT_EQ(Scm.Controls, std::vector<uint32_t>{1});  // SERVICE_CONTROL_STOP, once
  // SERVICE_STOP | SERVICE_QUERY_STATUS
  EXPECT_EQ(std::count(Scm.Calls.begin(), Scm.Calls.end(), "open NortavelFree 36"), 1);
  const auto boxes = Boxes();
  if (c.Error.empty()) {
    EXPECT_EQ(Journal[1], "unlock stopped");
    EXPECT_EQ(Scm.PausedMs, 500u * static_cast<uint32_t>(c.PausesToStop));
    EXPECT_TRUE(Scm.Registered.empty());
    EXPECT_TRUE(Scm.Keys.empty());
    EXPECT_TRUE(boxes.empty());
  } else {
    EXPECT_EQ(Journal, (Strings{"create NortavelFree", "destroy NortavelFree", "deleted NortavelFree"}));
    EXPECT_EQ(Scm.Registered.size(), 1u);
    EXPECT_EQ(Scm.Keys.size(), 4u) << "event sources and Safe Mode keys";
    EXPECT_EQ(Scm.PausedMs, c.FailControl == 0 ? 30000u : 0u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Service \"Nortavel free\" failed to uninstall with error: \"" + c.Error + "\"");
  }
  EXPECT_TRUE(Scm.Open.empty());
}

const std::string kNotStopped =
    "The service did not stop within 30 seconds, so nothing was removed and every user keeps their limits: stop it "
    "with net stop NortavelFree and remove it again";

INSTANTIATE_TEST_SUITE_P(
    App, StopBeforeRemovalTest,
    ::testing::Values(StopCase{"AtOnce", 0, 0, ""}, StopCase{"AtTheLastLook", 60, 0, ""},
                      StopCase{"JustTooLate", 61, 0, kNotStopped}, StopCase{"RefusedToStop", 0, 5, OSErrorMessage(5)}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(AppTest, KeysThatCannotBeChangedAreWarningsAndTheRunStillSucceeds) {
  Configure = [this](TJournalService& service) { Protect(service, Journal, Scm); };
  Scm.FailCreateKey = 5;
  Scm.FailFailureActions = 1051;
  Scm.FailAccess = 1338;
  RunProgram("/INSTALL");
  EXPECT_EQ(Strings(Scm.Registered.begin(), Scm.Registered.end()), Strings{"NortavelFree"});
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "Service installed successfully");
  Scm.FailDeleteKey = 5;
  RunProgram("/UNINSTALL /SILENT");
  EXPECT_TRUE(Scm.Registered.empty());
  EXPECT_TRUE(Boxes().empty());
  const std::string denied = OSErrorMessage(5);
  EXPECT_EQ(EventTexts(), (Strings{"Windows could not be told to start the service in Safe Mode, so it does not run "
                                   "there: " + denied,
                                   "The service could not be set to restart after a failure: " + OSErrorMessage(1051),
                                   "The service's access list could not be set, so every signed-in user may send it "
                                   "controls: " + OSErrorMessage(1338),
                                   "The event source \"NortavelFree\" could not be registered: " + denied,
                                   "The event source \"nortavel_free_service.exe\" could not be registered: " + denied,
                                   "The service's Safe Mode entries could not be removed: " + denied,
                                   "The event source \"NortavelFree\" could not be removed: " + denied,
                                   "The event source \"nortavel_free_service.exe\" could not be removed: " + denied}));
  for (const TAppEvent& event : Events.Events) {
    EXPECT_EQ(event.Source, kExe);
    EXPECT_EQ(event.Type, 2);  // EVENTLOG_WARNING_TYPE
    EXPECT_EQ(event.Category, 0);
    EXPECT_EQ(event.Id, 0u);
  }
}

TEST_F(AppTest, PathThatDidNotFitIsNotRegistered) {
  Process.ExecutablePath = "C:\\" + std::string(300, 'p') + ".exe";
  RunProgram("/INSTALL /SILENT");
  EXPECT_TRUE(Scm.Registered.empty());
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "Service \"Nortavel free\" failed to install with error: \"" + OSErrorMessage(122) + "\"");
}

TEST_F(AppTest, ManagerThatCannotBeOpenedGoesToTheApplicationErrorBox) {
  Scm.FailOpenManager = 5;
  EXPECT_EQ(RunProgram("/INSTALL /SILENT"), 0);
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Application Error");
  EXPECT_EQ(boxes[0].Flags, 0x2010u);
  EXPECT_EQ(boxes[0].Text, "Exception EOSError in module nortavel_free_service.exe at 00000000.\r\n"
                           "System Error.  Code: 5.\r\n" + SystemErrorText(5) + ".\r\n");
  EXPECT_TRUE(Events.Events.empty()) << "the report goes only to the box";
}

// --- Hosting ---

TEST_F(AppTest, RunWithoutSwitchesLogsTheFailedConnectionAndShowsNothing) {
  EXPECT_EQ(RunProgram("/SILENT"), 0);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_TRUE(Scm.Calls.empty());
  ASSERT_EQ(Events.Events.size(), 1u);
  const TAppEvent& event = Events.Events[0];
  EXPECT_EQ(event.Source, kExe);
  EXPECT_EQ(event.Type, 1);
  EXPECT_EQ(event.Category, 0);
  EXPECT_EQ(event.Id, 0u);
  EXPECT_EQ(event.Message, SystemErrorText(1063));
  // The table: one entry per service, then the null entry.
  ASSERT_EQ(Process.Table.size(), 2u);
  EXPECT_EQ(Process.Table[0].ServiceName, "NortavelFree");
  EXPECT_EQ(Process.Table[0].ServiceProc, &TServiceApplication::ServiceMainCallback);
  EXPECT_EQ(Process.Table[1].ServiceName, std::nullopt);
  EXPECT_EQ(Process.Table[1].ServiceProc, nullptr);
  // The dispatcher thread ended the loop through the application's window.
  EXPECT_EQ(Loop.TakePosts(), (std::vector<std::pair<uintptr_t, uint32_t>>{{TFakeMessageLoopApi::kWindow, 0x12}}));
  EXPECT_TRUE(EndedTerminated);
  EXPECT_EQ(Journal, (Strings{"create NortavelFree", "destroy NortavelFree", "deleted NortavelFree"}));
}

TEST_F(AppTest, DispatcherRunsTheNamedServiceOnItsThread) {
  Process.DispatcherConnects = true;
  Process.OnDispatch = [](const TServiceTableEntry* table) {
    char other[] = "OtherService";
    char* unknown[] = {other};
    table[0].ServiceProc(1, unknown);
    char name[] = "nortavelfree";  // the comparison ignores case
    char argument[] = "-x";
    char* args[] = {name, argument};
    table[0].ServiceProc(2, args);
  };
  EXPECT_EQ(RunProgram(""), 0);
  EXPECT_EQ(Journal, (Strings{"create NortavelFree", "run NortavelFree 2 nortavelfree", "destroy NortavelFree",
                              "deleted NortavelFree"}));
  EXPECT_TRUE(Events.Events.empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(AppTest, ErrorsWhileHandlingMessagesGoToTheEventLogAndTheLoopGoesOn) {
  Loop.Send([] { throw Exception("tick failed"); });
  Loop.Send([] { throw EOutOfResources("second"); });
  EXPECT_EQ(RunProgram(""), 0);
  EXPECT_EQ(EventTexts(), (Strings{"tick failed", "second", SystemErrorText(1063)}));
  for (const TAppEvent& event : Events.Events) EXPECT_EQ(event.Source, kExe);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(AppTest, OtherErrorsLeaveTheLoopAndReachTheBoxAsAnException) {
  Loop.Send([] { throw 42; });
  EXPECT_EQ(RunProgram(""), 0);
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "Exception Exception in module nortavel_free_service.exe at 00000000.\r\n\r\n");
  EXPECT_TRUE(Events.Events.empty()) << "the loop ended before the dispatcher's result was read";
  EXPECT_EQ(Journal.back(), "deleted NortavelFree");
}

// --- The last-resort report ---

TEST_F(AppTest, ReportNamesTheModuleAndOffsetOfTheThrow) {
  Process.Modules[0x400000] = "C:\\Program Files\\Nortavel\\nortavel_free_service.exe";
  Process.Modules[0x7C800000] = "C:\\WINDOWS\\system32\\kernel32.dll";
  FailConstruction = true;
  Process.CommandLineText = kExe;
  {
    TApplication forms(Loop);
    TServiceApplication application(TServiceApplicationPlatform{Process, Loop, Scm, Events, Scm}, forms);
    try {
      throw ERegistryException("Invalid data type for 'Debug'");
    } catch (const Exception& error) {
      NoteThrow(&error, 0x7C80ABCD);
      application.ReportProgramError(error.ClassName(), error.Message(), ThrowAddress(&error));
    }
    NoteThrow(nullptr, 0);
  }
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text,
            "Exception ERegistryException in module kernel32.dll at 0000ABCD.\r\nInvalid data type for 'Debug'.\r\n");
}

TEST_F(AppTest, ConstructionFailureLeavesNoModuleAndRunsNothing) {
  FailConstruction = true;
  EXPECT_EQ(RunProgram("/INSTALL"), 0);
  EXPECT_TRUE(Scm.Calls.empty());
  EXPECT_TRUE(Process.Table.empty());
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text.substr(0, 30), "Exception ERegistryException i");
  EXPECT_TRUE(Journal.empty());
}

TEST_F(AppTest, ReportGoesToTheEventLogWhereNobodyCouldCloseABox) {
  Process.Interactive = false;
  Scm.FailOpenManager = 5;
  EXPECT_EQ(RunProgram("/INSTALL"), 0);
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(Events.Events.size(), 1u);
  EXPECT_EQ(Events.Events[0].Message.substr(0, 61),
            "Exception EOSError in module nortavel_free_service.exe at 000");
}

TEST_F(AppTest, ReportGoesToTheEventLogOnceTheManagerStartedTheProcess) {
  Process.DispatcherConnects = true;
  Process.OnDispatch = [](const TServiceTableEntry* table) {
    char name[] = "NortavelFree";
    char* args[] = {name};
    table[0].ServiceProc(1, args);
  };
  FailDestroy = true;  // reaches the event log through the exit procedure
  Loop.Send([] { throw 42; });
  EXPECT_EQ(RunProgram(""), 0);
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(Events.Events.size(), 2u);
  EXPECT_EQ(Events.Events[0].Message, "Exception Exception in module nortavel_free_service.exe at 00000000.\r\n\r\n");
  EXPECT_EQ(Events.Events[1].Message, "destroy failed");
  EXPECT_EQ(Journal.back(), "deleted NortavelFree");
}

// --- The message loop's window ---

TEST_F(AppTest, EndOfTheUserSessionDoesNotEndTheLoop) {
  TApplication forms(Loop);
  TWindowMessage endSession{kWmEndSession, 1, 0, 99};
  {
    TServiceApplication application(TServiceApplicationPlatform{Process, Loop, Scm, Events, Scm}, forms);
    EXPECT_TRUE(forms.WindowMessage(endSession));
    EXPECT_EQ(endSession.Result, 0);
    EXPECT_FALSE(forms.Terminated());
    TWindowMessage other{0x0011, 1, 0, 0};  // WM_QUERYENDSESSION: left to the default handling
    EXPECT_FALSE(forms.WindowMessage(other));
  }
  // Without the hook the end of the session ends the loop.
  EXPECT_TRUE(forms.WindowMessage(endSession));
  EXPECT_TRUE(forms.Terminated());
}

TEST_F(AppTest, WindowThatCannotBeCreatedRaises) {
  Loop.FailCreateWindow = true;
  try {
    TApplication forms(Loop);
    FAIL() << "created";
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode, 1400u);
  }
}

}  // namespace
