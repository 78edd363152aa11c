#pragma once
// The fixture of the nortavelctl command tests: the tool's own seam, with the
// fakes of the registry, the accounts, the processes, the files and the clock
// the commands act on, and a Run that gives back the exit code with what went
// to standard output and error.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/commands.h"
#include "admin/service_info.h"
#include "tests/fakes/fake_accounts.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_crypto.h"
#include "tests/fakes/fake_log_platform.h"
#include "tests/fakes/fake_pipe.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"

inline const std::string kMain = "SOFTWARE\\Vrem\\NortavelFree";
inline const std::string kChild = kMain + "\\Time_restrictions\\child";
inline const std::string kAllowedDay(48, '0');
inline const std::string kEveningDay = std::string(30, '1') + std::string(10, '0') + std::string(8, '1');  // 15:00-20:00

// The first bytes of a PE image for machine.
inline std::string ImageHead(uint16_t machine) {
  std::string head(0x40, '\0');
  head[0] = 'M';
  head[1] = 'Z';
  head[0x3C] = 0x40;
  head += std::string("PE\0\0", 4);
  head += static_cast<char>(machine & 0xFF);
  head += static_cast<char>(machine >> 8);
  return head;
}

class CtlCommandsTest : public ::testing::Test, public TToolApi {
 protected:
  CtlCommandsTest() { Clock.Set(3, 16, 10); }  // Wednesday 16:10

  void TearDown() override { EXPECT_EQ(Registry.OpenHandleCount(), 0u) << "a key was left open"; }

  int Run(const std::vector<std::string>& args) {
    Out.str("");
    Err.str("");
    TCtlPlatform platform{Registry, Accounts, Processes, Files, Clock, *this, Pipe, Crypto, false, TConfigLocation()};
    return RunCtl(args, platform, Out, Err);
  }

  bool RecoveryReadable = false;
  uint32_t ResetPeriod = 0;
  std::vector<TServiceAction> Recovery;

  void InstallService(uint32_t state = kStateRunning) {
    Installed = true;
    State = state;
    Config = {0x10, kAutoStart, "\"C:\\Program Files\\NortavelFree\\nortavel_free_service.exe\"", "LocalSystem"};
    Head = ImageHead(kMachineI386);
  }

  void ConfigureChild(const std::string& rule = std::string(48, '0')) {
    Registry.SetDword(kMain, "Debug", 2);
    Registry.SetString(kMain, "Path", "C:\\Logs");
    Files.Files["C:\\Logs"].Attributes = 0x10;
    for (int n = 1; n <= 7; ++n) Registry.SetString(kChild, "Time" + std::to_string(n), rule);
  }

  std::string Stored(const std::string& path, const std::string& name) {
    for (const TRegistryValue& value : Registry.ValuesOf(path))
      if (value.Name == name) return value.Data;
    return "(none)";
  }

  // --- TToolApi ---
  uintptr_t OpenManager(const char*, const char*, uint32_t) override { return 1; }
  uintptr_t OpenEntry(uintptr_t, const std::string& name, uint32_t) override {
    Error = kErrorServiceDoesNotExist;
    return Installed && name == kServiceName ? 2 : 0;
  }
  bool QueryConfig(uintptr_t, TServiceConfig& config) override {
    config = Config;
    return true;
  }
  bool QueryState(uintptr_t, uint32_t& state) override {
    state = State;
    return true;
  }
  bool QueryFailureActions(uintptr_t, uint32_t& resetPeriod, std::vector<TServiceAction>& actions) override {
    resetPeriod = ResetPeriod;
    actions = Recovery;
    return RecoveryReadable;
  }
  bool Control(uintptr_t, uint32_t control, uint32_t& state) override {
    Controls.push_back(control);
    state = State;
    if (ControlRefused) Error = *ControlRefused;
    return !ControlRefused;
  }
  void CloseEntry(uintptr_t) override {}
  uint32_t LastError() override { return Error; }
  std::string ReadFileHead(const std::string& path, uint32_t) override {
    return path == "C:\\Program Files\\NortavelFree\\nortavel_free_service.exe" ? Head : "";
  }
  bool WindowsIs64Bit() override { return Windows64; }
  bool CreateFolder(const std::string& path, const std::string& sddl) override {
    if (path == FailCreate) {
      Error = 3;  // ERROR_PATH_NOT_FOUND
      return false;
    }
    Created.push_back(path + " " + sddl);
    Files.Files[path].Attributes = 0x10;
    return true;
  }
  bool RemoveFolder(const std::string& path) override {
    const auto folder = Files.Files.find(path);
    const bool empty = std::none_of(Files.Files.begin(), Files.Files.end(), [&path](const auto& file) {
      return file.first.rfind(path + "\\", 0) == 0;
    });
    if (folder == Files.Files.end() || !empty) {
      Error = folder == Files.Files.end() ? 3 : 145;  // ERROR_PATH_NOT_FOUND, ERROR_DIR_NOT_EMPTY
      return false;
    }
    Files.Files.erase(folder);
    return true;
  }
  void Pause(uint32_t milliseconds) override {
    Paused.push_back(std::to_string(milliseconds) + " ms after " + std::to_string(Controls.size()) +
                     " controls and " + std::to_string(Accounts.Updates.size()) + " updates");
  }
  void BinaryStandardOutput() override {}
  bool StandardOutputIsConsole() override { return Console; }
  bool ReadLine(std::string& line, bool hidden) override {
    if (Input.empty()) return false;
    line = Input.front();
    ReadsHidden.push_back(hidden);
    Input.erase(Input.begin());
    return true;
  }
  std::vector<std::string> Paused;

  TFakeRegistry Registry;
  TFakeAccounts Accounts;
  TFakeProcesses Processes;
  TFakeLogPlatform Files;
  TFakeClock Clock;
  TFakePipeClient Pipe;
  TFakeCrypto Crypto;
  std::vector<std::string> Input;  // standard input's lines
  std::vector<bool> ReadsHidden;
  std::ostringstream Out;
  std::ostringstream Err;

  bool Installed = false;
  uint32_t State = kStateStopped;
  TServiceConfig Config;
  std::string Head;
  bool Windows64 = false;
  uint32_t Error = 0;
  std::vector<uint32_t> Controls;
  std::optional<uint32_t> ControlRefused;  // the error a refused control leaves
  std::vector<std::string> Created;
  std::string FailCreate;
  bool Console = false;
};
