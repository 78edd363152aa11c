// The configuration load against the real registry of the private Wine prefix.
// Each test writes its configuration under a throwaway key of its own, in both
// registry views, and removes it again; the service's own key is never touched.

// RegDeleteTreeA and RegDeleteKeyExA are declared from Vista on; the test needs
// them only to clean up.
#define _WIN32_WINNT 0x0600
#include "common/win32.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/exceptions.h"
#include "common/registry_api.h"
#include "tests/fakes/recording_log.h"
#include "winsys/configuration.h"

namespace {
using ::testing::ElementsAre;

const std::string kThrowaway = "SOFTWARE\\NortavelFreeTest" + std::to_string(GetCurrentProcessId());
const std::string kMain = kThrowaway + "\\Vrem\\NortavelFree";
const std::string kUsers = kMain + "\\Time_restrictions";
const std::string kNoDebug = "ERROR:Unable to read debug level from \\" + kMain + "\\";
const std::string kNoPath = "ERROR:Unable to read application path from \\" + kMain + "\\";

TConfigLocation TestLocation(TRegistryView view = TRegistryView::Own) {
  TConfigLocation location;
  location.MainKeyPath = "\\" + kMain + "\\";
  location.View = view;
  return location;
}

constexpr bool kIs64BitProcess = sizeof(void*) == 8;

bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The registry view this exe does not read, where there is one.
REGSAM OtherView() { return kIs64BitProcess ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }

class WineConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveConfiguration(); }
  void TearDown() override { RemoveConfiguration(); }

  static void RemoveConfiguration() {
    for (const REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
      HKEY throwaway = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kThrowaway.c_str(), 0, KEY_ALL_ACCESS | view, &throwaway) ==
          ERROR_SUCCESS) {
        RegDeleteTreeA(throwaway, nullptr);
        RegCloseKey(throwaway);
      }
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kThrowaway.c_str(), view, 0);
    }
  }

  static void SetRaw(const std::string& path, const std::string& name, DWORD type, const std::string& data,
                     REGSAM view = 0) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS)
        << path;
    if (!name.empty()) {
      EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(data.size())),
                ERROR_SUCCESS)
          << name;
    }
    RegCloseKey(key);
  }
  static void SetRawWide(const std::string& path, const wchar_t* name, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  static void SetString(const std::string& path, const std::string& name, const std::string& text,
                        DWORD type = REG_SZ, REGSAM view = 0) {
    SetRaw(path, name, type, text + std::string(1, '\0'), view);
  }
  static void SetDword(const std::string& path, const std::string& name, DWORD value, REGSAM view = 0) {
    SetRaw(path, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof value), view);
  }

  // Runs one load; returns the registry error's message, or "".
  std::string Load(TRegistryView view = TRegistryView::Own) {
    try {
      EXPECT_TRUE(LoadConfiguration(State, PlatformRegistry(), TestLocation(view), Log));
    } catch (const ERegistryException& e) {
      return e.Message();
    }
    return "";
  }

  std::vector<std::vector<std::string>> Rules() const {
    std::vector<std::vector<std::string>> rules;
    for (const auto& list : State.UserRules) rules.push_back(list.Items());
    return rules;
  }

  TConfiguration State;
  TRecordingLog Log;
};

TEST_F(WineConfigTest, LoadsAWholeConfiguration) {
  const std::string allowed(48, '0');
  const std::string evening = std::string(40, '0') + std::string(8, '1');
  SetDword(kMain, "Debug", 2);
  SetString(kMain, "Path", "%SystemRoot%\\Logs", REG_EXPAND_SZ);
  SetRaw(kUsers + "\\Carl", "", 0, "");
  for (const char* user : {"Bert", "anna"}) {
    SetString(kUsers + "\\" + user, "Time1", allowed);
    SetString(kUsers + "\\" + user, "Time2", evening);
  }
  SetString(kUsers + "\\anna", "Time3", allowed);
  SetString(kUsers + "\\Bert", "Time4", allowed);  // after a gap

  EXPECT_EQ(Load(), "");
  EXPECT_EQ(State.DebugLevel, 2);
  EXPECT_EQ(State.AppPath, "%SystemRoot%\\Logs\\");
  // The registry enumerates subkeys in name order, ignoring case.
  EXPECT_THAT(State.RestrictedUsers.Items(), ElementsAre("anna", "Bert", "Carl"));
  EXPECT_THAT(Rules(), ElementsAre(ElementsAre(allowed, evening, allowed), ElementsAre(allowed, evening),
                                   ElementsAre()));
  EXPECT_THAT(Log.Messages,
              ElementsAre("Reading times for user: anna", "Time 1 : " + allowed, "Time 2 : " + evening,
                          "Time 3 : " + allowed, "Reading times for user: Bert", "Time 1 : " + allowed,
                          "Time 2 : " + evening, "Reading times for user: Carl"));
  EXPECT_EQ(State.RestrictedUsers.IndexOf("ANNA"), 0);
}

TEST_F(WineConfigTest, MainKeyWithoutValuesAndNoMainKeyAtAll) {
  State.AppPath = "D:\\Old\\";
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(State.DebugLevel, 2);
  EXPECT_EQ(State.AppPath, "D:\\Old\\");
  EXPECT_TRUE(Log.Messages.empty());

  SetRaw(kMain, "", 0, "");
  EXPECT_EQ(Load(), "");
  EXPECT_EQ(State.DebugLevel, 1);
  EXPECT_EQ(State.AppPath, "");
  EXPECT_THAT(Log.Messages, ElementsAre(kNoDebug, kNoPath));
}

TEST_F(WineConfigTest, ValuesOfTheWrongKindThroughTheRealCalls) {
  const struct {
    const char* Name;
    const char* Value;
    DWORD Type;
    std::string Data;
    std::string Error;
  } cases[] = {
      {"one-digit string", "Debug", REG_SZ, std::string("1\0", 2), "Invalid data type for 'Debug'"},
      {"five-digit string", "Debug", REG_SZ, std::string("12345\0", 6), "Failed to get data for 'Debug'"},
      {"qword", "Debug", REG_QWORD, std::string("\x03\0\0\0\0\0\0\0", 8), "Failed to get data for 'Debug'"},
      {"path as dword", "Path", REG_DWORD, std::string("\x03\0\0\0", 4), "Invalid data type for 'Path'"},
  };
  for (const auto& c : cases) {
    RemoveConfiguration();
    SetDword(kMain, "Debug", 3);
    SetString(kMain, "Path", "C:\\New");
    SetRaw(kMain, c.Value, c.Type, c.Data);
    SetString(kUsers + "\\Anna", "Time1", "1");
    State = TConfiguration();
    State.AppPath = "D:\\Old\\";
    EXPECT_EQ(Load(), c.Error) << c.Name;
    EXPECT_EQ(State.DebugLevel, std::string(c.Value) == "Debug" ? 2 : 3) << c.Name;
    EXPECT_EQ(State.AppPath, "D:\\Old\\") << c.Name;
    EXPECT_TRUE(State.RestrictedUsers.Empty()) << c.Name;
  }
}

TEST_F(WineConfigTest, OddDataIsReadWithinItsBounds) {
  // Wide data is stored as given by RegSetValueExW, so its length may be odd.
  const std::wstring wide = L"C:\\Wide";
  const std::string wideBytes(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  const struct {
    const char* Name;
    bool Wide;
    std::string Data;
    std::string AppPath;
  } paths[] = {
      {"unterminated", false, "C:\\Logs", "C:\\Logs\\"},
      {"zero inside", false, std::string("C:\\A\0C:\\B\0", 10), "C:\\A\\"},
      {"no data", false, "", "\\"},
      {"wide, unterminated", true, wideBytes, "C:\\Wide\\"},
      {"wide, odd length", true, wideBytes.substr(0, wideBytes.size() - 1), "C:\\Wid\\"},
      {"wide, one byte", true, "C", "\\"},
  };
  for (const auto& c : paths) {
    RemoveConfiguration();
    SetRaw(kMain, "Debug", REG_DWORD, "\x34\x12");  // two bytes: the high ones read as zero
    if (c.Wide) {
      SetRawWide(kMain, L"Path", c.Data);
    } else {
      SetRaw(kMain, "Path", REG_SZ, c.Data);
    }
    EXPECT_EQ(Load(), "") << c.Name;
    EXPECT_EQ(State.DebugLevel, 0x1234) << c.Name;
    EXPECT_EQ(State.AppPath, c.AppPath) << c.Name;
  }
}

// Runs reg.exe as an administrator would, waiting for it; returns its exit code.
DWORD RunReg(const std::string& arguments) {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  std::string commandLine = "\"" + std::string(system) + "\\reg.exe\" " + arguments;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION process = {};
  DWORD exitCode = 0xFFFFFFFF;
  if (CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  return exitCode;
}

TEST_F(WineConfigTest, AConfigurationWrittenWithRegIntoThisBuildsViewIsLoadedExactly) {
  // What the README tells administrators: /reg:32 for the 32-bit build, /reg:64 for the 64-bit one.
  const std::string view = kIs64BitProcess ? " /reg:64" : " /reg:32";
  const std::string rule = std::string(16, '1') + std::string(24, '0') + std::string(8, '1');
  const std::string main = "\"HKLM\\" + kMain + "\"";
  const std::string user = "\"HKLM\\" + kUsers + "\\kid\"";
  ASSERT_EQ(RunReg("add " + main + " /v Debug /t REG_DWORD /d 4294967295 /f" + view), 0u);
  ASSERT_EQ(RunReg("add " + main + " /v Path /t REG_EXPAND_SZ /d %SystemRoot%\\Logs\\ /f" + view), 0u);
  for (int day = 1; day <= 7; ++day)
    ASSERT_EQ(RunReg("add " + user + " /v Time" + std::to_string(day) + " /t REG_SZ /d " + rule + " /f" + view), 0u);

  EXPECT_EQ(Load(), "");
  EXPECT_EQ(State.DebugLevel, -1);
  EXPECT_EQ(State.AppPath, "%SystemRoot%\\Logs\\");
  EXPECT_THAT(State.RestrictedUsers.Items(), ElementsAre("kid"));
  ASSERT_EQ(State.UserRules.size(), 1u);
  EXPECT_EQ(State.UserRules[0].Items(), std::vector<std::string>(7, rule));
  EXPECT_TRUE(Log.Messages.empty()) << "level -1 logs only level-1 messages, and none was due";
}

TEST_F(WineConfigTest, TheOtherRegistryViewIsNotRead) {
  if (!kIs64BitProcess && !RunsUnderWow64()) GTEST_SKIP() << "32-bit Windows has a single registry view";
  SetDword(kMain, "Debug", 4, OtherView());
  SetString(kMain, "Path", "C:\\Elsewhere", REG_SZ, OtherView());
  SetString(kUsers + "\\other", "Time1", "1", REG_SZ, OtherView());
  SetDword(kMain, "Debug", 3);

  EXPECT_EQ(Load(), "");
  EXPECT_EQ(State.DebugLevel, 3);
  EXPECT_EQ(State.AppPath, "");
  EXPECT_TRUE(State.RestrictedUsers.Empty());
  EXPECT_THAT(Log.Messages, ElementsAre(kNoPath));
}

TEST_F(WineConfigTest, AChosenViewIsReadWhateverTheBuild) {
  if (!kIs64BitProcess && !RunsUnderWow64()) GTEST_SKIP() << "32-bit Windows has a single registry view";
  SetDword(kMain, "Debug", 3, KEY_WOW64_32KEY);
  SetDword(kMain, "Debug", 4, KEY_WOW64_64KEY);

  EXPECT_EQ(Load(TRegistryView::View32), "");
  EXPECT_EQ(State.DebugLevel, 3);
  EXPECT_EQ(Load(TRegistryView::View64), "");
  EXPECT_EQ(State.DebugLevel, 4);
}

// The behaviour of the real calls that the accessor and the fake registry rely on.
TEST_F(WineConfigTest, TheForwardingClassKeepsTheContractOfTheCalls) {
  TRegistryApi& api = PlatformRegistry();
  EXPECT_EQ(TRegistryApi::kLocalMachine, reinterpret_cast<uintptr_t>(HKEY_LOCAL_MACHINE));
  SetString(kMain, "Path", "abcdef");
  SetRaw(kUsers + "\\Bertholt", "", 0, "");
  SetRaw(kUsers + "\\Al", "", 0, "");

  uintptr_t key = 0;
  ASSERT_EQ(api.OpenKey(TRegistryApi::kLocalMachine, kMain + "\\", TRegistryApi::kKeyQueryAndEnumerate, key), 0);
  ASSERT_NE(key, 0u);
  uint32_t type = 0;
  uint32_t size = 0;
  EXPECT_EQ(api.QueryValue(key, "Path", nullptr, nullptr, nullptr), 0) << "no data buffer, no size";
  uint8_t small[2] = {};
  size = sizeof small;
  EXPECT_EQ(api.QueryValue(key, "Path", &type, small, &size), TRegistryApi::kErrorMoreData);
  EXPECT_EQ(size, 7u) << "the size needed is reported";
  EXPECT_EQ(api.QueryValue(key, "Missing", nullptr, nullptr, nullptr), TRegistryApi::kErrorFileNotFound);

  SetLastError(1234);
  EXPECT_EQ(api.CloseKey(key), 0);
  EXPECT_EQ(GetLastError(), 1234u) << "closing keeps the caller's last error";

  ASSERT_EQ(api.OpenKey(TRegistryApi::kLocalMachine, kUsers, TRegistryApi::kKeyRead, key), 0);
  uint32_t count = 0;
  uint32_t longest = 0;
  EXPECT_EQ(api.QueryKeyInfo(key, count, longest), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(longest, 8u);
  char name[4] = {};
  uint32_t length = sizeof name;
  EXPECT_EQ(api.EnumKey(key, 1, name, length), TRegistryApi::kErrorMoreData) << "\"Bertholt\" needs 9";
  length = sizeof name;
  EXPECT_EQ(api.EnumKey(key, 0, name, length), 0);
  EXPECT_EQ(std::string(name, length), "Al");
  length = sizeof name;
  EXPECT_EQ(api.EnumKey(key, 2, name, length), TRegistryApi::kErrorNoMoreItems);
  EXPECT_EQ(api.CloseKey(key), 0);

  EXPECT_EQ(api.OpenKey(TRegistryApi::kLocalMachine, kMain + "\\Missing", TRegistryApi::kKeyRead, key),
            TRegistryApi::kErrorFileNotFound);
  EXPECT_EQ(key, 0u);
}

TEST(WineTextTest, LeadBytesAreThoseOfTheAnsiCodePage) {
  CPINFO info = {};
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  bool lead[256] = {};
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
    for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) lead[b] = true;
  for (int b = 0; b < 256; ++b) EXPECT_EQ(PlatformIsLeadByte(static_cast<uint8_t>(b)), lead[b]) << b;
}

// Wine gives a process the ANSI code page 932 when it starts with LANG=ja_JP.UTF-8;
// the run with that locale is a ctest entry of its own, which sets NF_EXPECT_ACP.
// The system reports the longest subkey name in characters, so the user's name
// below (2 characters, 4 bytes) does not fit the room first offered.
TEST_F(WineConfigTest, DoubleByteNamesAndPathsInCodePage932) {
  char expected[16] = {};
  if (GetEnvironmentVariableA("NF_EXPECT_ACP", expected, sizeof expected) > 0) {
    ASSERT_EQ(std::to_string(GetACP()), expected) << "the locale did not give the expected code page";
  }
  if (GetACP() != 932) GTEST_SKIP() << "needs the ANSI code page 932";
  const std::string hyo = "\x95\x5C";  // one character whose second byte equals the backslash
  const std::string taro = "\x91\xBE\x98\x59";
  SetDword(kMain, "Debug", 2);
  SetString(kMain, "Path", "C:\\" + hyo);
  SetString(kUsers + "\\" + taro, "Time1", "1" + hyo);

  EXPECT_EQ(Load(), "");
  EXPECT_EQ(State.AppPath, "C:\\" + hyo + "\\");
  EXPECT_THAT(State.RestrictedUsers.Items(), ElementsAre(taro));
  EXPECT_THAT(Rules(), ElementsAre(ElementsAre("1" + hyo)));
}

}  // namespace
