// nortavelctl's commands over the real platform of the private Wine prefix, in a
// throwaway key of their own: the view flag reaches the registry, check sees a
// configuration in the other view, and logdir creates its folder with the
// administrators-only descriptor.

// RegDeleteTreeA and RegDeleteKeyExA are declared from Vista on; the test needs
// them only to clean up.
#define _WIN32_WINNT 0x0600
#include "common/win32.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "common/clock.h"
#include "common/registry_api.h"
#include "ctl/commands.h"
#include "admin/tool_api.h"
#include "diag/log_platform.h"
#include "winsys/account_api.h"
#include "winsys/crypto_api.h"
#include "winsys/pipe_api.h"
#include "winsys/process_api.h"

namespace {
const std::string kThrowaway = "SOFTWARE\\NortavelCtlTest" + std::to_string(GetCurrentProcessId());
const std::string kMain = kThrowaway + "\\Vrem\\NortavelFree";
const std::string kEveningDay = std::string(30, '1') + std::string(10, '0') + std::string(8, '1');

class WineCtlTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveThrowaway(); }
  void TearDown() override { RemoveThrowaway(); }

  static void RemoveThrowaway() {
    for (const REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kThrowaway.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
      }
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kThrowaway.c_str(), view, 0);
    }
  }

  int Run(const std::vector<std::string>& args) {
    Out.str("");
    Err.str("");
    TConfigLocation location;
    location.MainKeyPath = "\\" + kMain + "\\";
    TCtlPlatform platform{PlatformRegistry(), PlatformAccounts(), PlatformProcesses(), PlatformLogFiles(),
                          PlatformClock(),    PlatformTool(),     PlatformPipeClient(), PlatformCrypto(),
                          sizeof(void*) == 8, location};
    return RunCtl(args, platform, Out, Err);
  }

  // The string value as stored in view; "(none)" when it cannot be read.
  static std::string Stored(REGSAM view, const std::string& path, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
      return "(none)";
    char data[256] = {};
    DWORD size = sizeof(data) - 1;
    DWORD type = 0;
    const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? data : "(none)";
  }

  std::ostringstream Out;
  std::ostringstream Err;
};

TEST_F(WineCtlTest, SetWritesTheChosenViewAndCheckFindsItMissingInTheOther) {
  ASSERT_EQ(Run({"--view", "64", "set", "kid", "Mo-Fr 15:00-20:00; Sa,Su always"}), kExitUsage);
  ASSERT_EQ(Run({"--view", "64", "set", "kid", "Mo-Fr 15:00-20:00"}), kExitSuccess) << Err.str();
  const std::string kid = kMain + "\\Time_restrictions\\kid";
  EXPECT_EQ(Stored(KEY_WOW64_64KEY, kid, "Time2"), kEveningDay);
  EXPECT_EQ(Stored(KEY_WOW64_64KEY, kid, "Time6"), std::string(48, '1'));
  EXPECT_EQ(Stored(KEY_WOW64_32KEY, kid, "Time2"), "(none)");

  EXPECT_EQ(Run({"check", "--view", "32"}), kExitFailed);
  const std::string finding = "error: a configuration exists only in HKLM\\" + kMain +
                              " (64-bit view), not in the 32-bit view ";
  EXPECT_NE(Out.str().find(finding), std::string::npos) << Out.str();
  EXPECT_EQ(Run({"show", "--view", "64", "kid"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str().substr(0, Out.str().find('\n')), "kid: Mo-Fr 15:00-20:00");
}

// The parent is missing too, as C:\ProgramData\NortavelFree is on a fresh computer.
TEST_F(WineCtlTest, LogdirCreatesTheFolderAndStoresIt) {
  char temp[MAX_PATH] = {};
  ASSERT_NE(GetTempPathA(sizeof(temp), temp), 0u);
  const std::string parent = std::string(temp) + "nortavelctl-logs-" + std::to_string(GetCurrentProcessId());
  const std::string folder = parent + "\\Logs";
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(parent.c_str());
  ASSERT_EQ(Run({"logdir", folder, "--view", "64"}), kExitSuccess) << Err.str();
  for (const std::string& made : {parent, folder}) {
    const DWORD attributes = GetFileAttributesA(made.c_str());
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES) << made;
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << made;
  }
  // Wine 8 keeps no access list on the folder (GetNamedSecurityInfoA answers none), so
  // only the call's success is seen here: a descriptor text it could not convert fails it.
  EXPECT_EQ(Stored(KEY_WOW64_64KEY, kMain, "Path"), folder);
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(parent.c_str());
}

}  // namespace

namespace {
TEST_F(WineCtlTest, TimezoneTakesTheDatabasesSpellingAndGrantWritesExtraTime) {
  ASSERT_EQ(Run({"--view", "64", "timezone", "tokyo", "standard", "time"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Stored(KEY_WOW64_64KEY, kMain, "TimeZone"), "Tokyo Standard Time");
  ASSERT_EQ(Run({"--view", "64", "timezone"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Out.str().rfind("The restrictions keep to Tokyo Standard Time (the computer's time zone: ", 0), 0u)
      << Out.str();
  EXPECT_EQ(Run({"--view", "64", "timezone", "Atlantis Standard Time"}), kExitFailed);

  ASSERT_EQ(Run({"--view", "64", "set", "--force", "kid", "never"}), kExitSuccess) << Err.str();
  ASSERT_EQ(Run({"--view", "64", "grant", "kid", "until", "23:59"}), kExitSuccess) << Err.str();
  const std::string stored = Stored(KEY_WOW64_64KEY, kMain + "\\Time_restrictions\\kid", "AllowUntil");
  EXPECT_EQ(stored.size(), 16u) << stored;
  EXPECT_EQ(stored.substr(10), " 23:59");
  ASSERT_EQ(Run({"--view", "64", "grant", "kid", "--clear"}), kExitSuccess) << Err.str();
  EXPECT_EQ(Stored(KEY_WOW64_64KEY, kMain + "\\Time_restrictions\\kid", "AllowUntil"), "(none)");
}
}  // namespace
