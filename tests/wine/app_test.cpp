// The service application on the real platform: the program run without a
// switch, the dispatcher thread and message loop, the window hook, and what the
// last-resort report learns about addresses.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <type_traits>

#include "common/system_error.h"
#include "common/registry_api.h"
#include "svcmgr/application.h"
#include "svcmgr/application_error.h"
#include "tests/fakes/fake_app_api.h"
#include "tests/wine/app_wine_support.h"

namespace {

using app_wine::ServiceExe;
using app_wine::TChild;

// Whether offset, from the start of the image, falls in a code section of the
// executable file at path.
bool InCodeSection(const std::string& path, uint32_t offset) {
  std::ifstream in(path, std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (file.size() < sizeof(IMAGE_DOS_HEADER)) return false;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(file.data() + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
  for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section)
    if ((section->Characteristics & IMAGE_SCN_CNT_CODE) != 0 && offset >= section->VirtualAddress &&
        offset < section->VirtualAddress + section->Misc.VirtualSize)
      return true;
  return false;
}

class NamedService : public TService {
 public:
  NamedService() : TService(PlatformServiceRuntimeApi()) { Name = "NortavelFree"; }
  TServiceControlEntry GetControlEntry() override { return nullptr; }
};

TEST(AppWineTest, RunWithoutInstallSwitchEndsWithZeroAndShowsNothing) {
  // "SILENT" alone and the bare word change nothing: the run tries to connect,
  // fails, and ends without a box anybody would have to close. (Its event is
  // printed on the Unix standard error the child shares with this test; the
  // end-to-end scenario reads it there, the hosting test below through the seam.)
  TChild run("\"" + ServiceExe() + "\" /SILENT INSTALL");
  ASSERT_TRUE(run.Started());
  EXPECT_EQ(run.Wait(60000), 0);
  EXPECT_EQ(app_wine::RemoveService("NortavelFree"), 1060u) << "the bare word installed";
}

TEST(AppWineTest, StartupFailureReportPointsIntoTheExecutablesCode) {
  // The application window refused for the desktop: the real program fails
  // before its message loop and shows the last-resort report. The raise address
  // is known only while the program links with its throw hook; without it the
  // report says 00000000.
  const HMODULE hooks = LoadLibraryA((app_wine::BuildDir() + "\\refuse_app_window.dll").c_str());
  ASSERT_NE(hooks, nullptr);
  const auto refuse =
      reinterpret_cast<HOOKPROC>(reinterpret_cast<void (*)()>(GetProcAddress(hooks, "RefuseAppWindow")));
  const std::unique_ptr<std::remove_pointer_t<HHOOK>, decltype(&UnhookWindowsHookEx)> hook(
      SetWindowsHookExA(WH_CBT, refuse, hooks, 0), &UnhookWindowsHookEx);
  ASSERT_NE(hook.get(), nullptr);
  TChild run("\"" + ServiceExe() + "\"");
  ASSERT_TRUE(run.Started());
  const app_wine::TSeenDialog seen = app_wine::CloseDialog(kApplicationErrorCaption);
  ASSERT_TRUE(seen.Found) << "no report";
  EXPECT_EQ(run.Wait(30000), 0);
  const std::string head = "Exception EOSError in module nortavel_free_service.exe at ";
  ASSERT_EQ(seen.Text.substr(0, head.size()), head) << seen.Text;
  const std::string offset = seen.Text.substr(head.size(), 9);
  ASSERT_EQ(offset.find_first_not_of("0123456789ABCDEF"), 8u) << seen.Text;
  EXPECT_TRUE(InCodeSection(ServiceExe(), std::stoul(offset, nullptr, 16))) << seen.Text;
}

TEST(AppWineTest, HostingRunEndsWhenTheDispatcherCannotConnect) {
  TFakeAppEventLog events;
  TApplication forms(PlatformMessageLoopApi());
  NamedService* module = nullptr;
  {
    TServiceApplication application(TServiceApplicationPlatform{PlatformApplicationApi(), PlatformMessageLoopApi(),
                                                                PlatformServiceManagerApi(), events, PlatformRegistry()},
                                    forms);
    application.CreateModule(module, [] { return std::make_unique<NamedService>(); });
    ASSERT_NE(module, nullptr);
    application.RunApplication();
    EXPECT_TRUE(forms.Terminated());
    EXPECT_FALSE(application.StartedByServiceManager());
    application.RunExitProcedures();
    EXPECT_EQ(module, nullptr);
  }
  ASSERT_EQ(events.Events.size(), 1u);
  EXPECT_EQ(events.Events[0].Source, "nortavel_wine_tests.exe");
  EXPECT_EQ(events.Events[0].Message, SystemErrorText(1063));
}

TEST(AppWineTest, EndOfSessionReachesTheHookAndLeavesTheProcessRunning) {
  TFakeAppEventLog events;
  TApplication forms(PlatformMessageLoopApi());
  TServiceApplication application(
      TServiceApplicationPlatform{PlatformApplicationApi(), PlatformMessageLoopApi(), PlatformServiceManagerApi(),
                                  events, PlatformRegistry()},
      forms);
  const HWND window = reinterpret_cast<HWND>(forms.Handle());
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetParent(window), nullptr);
  SendMessageA(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(forms.Terminated());
  // The quit message the dispatcher thread posts ends the loop.
  PostMessageA(window, WM_QUIT, 0, 0);
  forms.Run();
  EXPECT_TRUE(forms.Terminated());
}

TEST(AppWineTest, ModulesOfAddressesAndTheStation) {
  TApplicationApi& api = PlatformApplicationApi();
  std::string path;
  uintptr_t base = 0;
  const auto own = reinterpret_cast<uintptr_t>(&ApplicationErrorText);
  ASSERT_TRUE(api.FindModule(own, path, base));
  EXPECT_EQ(FileNameOf(path), "nortavel_wine_tests.exe");
  EXPECT_EQ(base, reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)));
  const auto system = reinterpret_cast<uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep"));
  ASSERT_TRUE(api.FindModule(system, path, base));
  EXPECT_EQ(_stricmp(FileNameOf(path).c_str(), "kernel32.dll"), 0) << path;
  EXPECT_FALSE(api.FindModule(0x10, path, base));
  // A test run by a user sits on the visible station; a box would be seen.
  EXPECT_TRUE(api.InteractiveStation());
  EXPECT_EQ(FileNameOf(api.ModuleFileName(kModuleFileNameRoom)), "nortavel_wine_tests.exe");
}

}  // namespace
