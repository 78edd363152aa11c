// Installation and removal by the real executable, against Wine's control
// manager, with the dialogs read and closed by dialog_closer.exe.
#include <gtest/gtest.h>

#include "svcmgr/dialogs.h"
#include "svcmgr/os_error.h"
#include "tests/wine/app_wine_support.h"

namespace {

using app_wine::CloseDialog;
using app_wine::ServiceExe;
using app_wine::ServiceKey;
using app_wine::TChild;

constexpr char kService[] = "NortavelFree";
// The two event sources: the service's name and the executable's file name.
const char* const kSources[] = {"NortavelFree", "nortavel_free_service.exe"};

std::string SourceKeyPath(const std::string& source) {
  return "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + source;
}

struct TRegData {
  DWORD Type = REG_NONE;
  std::string Bytes;
};

// A value below HKEY_LOCAL_MACHINE; type REG_NONE when the key or value is missing.
TRegData MachineValue(const std::string& keyPath, const char* name) {
  TRegData value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return value;
  BYTE data[1024] = {};
  DWORD size = sizeof data, type = REG_NONE;
  if (RegQueryValueExA(key, name, nullptr, &type, data, &size) == ERROR_SUCCESS) {
    value.Type = type;
    value.Bytes.assign(reinterpret_cast<char*>(data), size);
  }
  RegCloseKey(key);
  return value;
}

TRegData SourceValue(const std::string& source, const char* name) { return MachineValue(SourceKeyPath(source), name); }

const char* const kSafeBootKeys[] = {"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\NortavelFree",
                                     "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Network\\NortavelFree"};

bool SourceKeyExists(const std::string& source) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SourceKeyPath(source).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void RemoveSourceKeys() {
  for (const char* source : kSources) RegDeleteKeyA(HKEY_LOCAL_MACHINE, SourceKeyPath(source).c_str());
  for (const char* key : kSafeBootKeys) RegDeleteKeyA(HKEY_LOCAL_MACHINE, key);
}

class InstallWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_wine::RemoveService(kService);
    RemoveSourceKeys();
  }
  void TearDown() override {
    app_wine::RemoveService(kService);
    RemoveSourceKeys();
  }

  // Runs the executable with arguments and expects it to end, with 0, without a dialog.
  static void RunQuietly(const std::string& exe, const std::string& arguments) {
    TChild run("\"" + exe + "\" " + arguments);
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(run.Wait(30000), 0) << arguments;
  }

  // Runs the executable, expects the dialog with caption and text, presses OK,
  // and expects the run to end with 0 and no further dialog.
  static void RunWithDialog(const std::string& arguments, const std::string& caption, const std::string& text) {
    TChild run("\"" + ServiceExe() + "\" " + arguments);
    ASSERT_TRUE(run.Started());
    const app_wine::TSeenDialog seen = CloseDialog(caption);
    ASSERT_TRUE(seen.Found) << "no \"" << caption << "\" dialog for " << arguments;
    EXPECT_EQ(seen.Text, text);
    EXPECT_EQ(seen.Fields.at("button"), "OK");
    EXPECT_EQ(seen.Fields.at("default"), "1");  // IDOK
    EXPECT_EQ(seen.Fields.at("centred"), "1");
    EXPECT_EQ(seen.Fields.at("others"), "0");
    EXPECT_EQ(run.Wait(30000), 0) << arguments << ": still running after OK (a second dialog?)";
  }
};

TEST_F(InstallWineTest, SilentInstallRegistersTheServiceAsDesigned) {
  RunQuietly(ServiceExe(), "/INSTALL /SILENT");
  auto values = ServiceKey(kService);
  ASSERT_FALSE(values.empty()) << "not registered";
  EXPECT_EQ(values["Type"], "16");  // SERVICE_WIN32_OWN_PROCESS
  EXPECT_EQ(values["Start"], "2");  // SERVICE_AUTO_START
  EXPECT_EQ(values["ErrorControl"], "1");
  EXPECT_EQ(values["DisplayName"], "Nortavel free");
  EXPECT_TRUE(values.count("ObjectName") == 0 || values["ObjectName"] == "LocalSystem") << values["ObjectName"];
  EXPECT_EQ(_stricmp(values["ImagePath"].c_str(), ServiceExe().c_str()), 0) << values["ImagePath"];
  EXPECT_EQ(values.count("DependOnService"), 0u);
  EXPECT_EQ(values.count("Description"), 0u);
}

TEST_F(InstallWineTest, InstallRegistersEventSourcesAndSafeModeAndRemovalDeletesThem) {
  RunQuietly(ServiceExe(), "/INSTALL /SILENT");
  for (const char* source : kSources) {
    const TRegData file = SourceValue(source, "EventMessageFile");
    EXPECT_EQ(file.Type, static_cast<DWORD>(REG_EXPAND_SZ)) << source;
    EXPECT_EQ(_stricmp(file.Bytes.c_str(), ServiceExe().c_str()), 0) << source << ": " << file.Bytes;
    EXPECT_EQ(file.Bytes.size(), ServiceExe().size() + 1) << "one terminating zero";
    const TRegData types = SourceValue(source, "TypesSupported");
    EXPECT_EQ(types.Type, static_cast<DWORD>(REG_DWORD)) << source;
    EXPECT_EQ(types.Bytes, std::string("\x07\0\0\0", 4)) << source;
  }
  for (const char* key : kSafeBootKeys) {
    const TRegData mode = MachineValue(key, nullptr);
    EXPECT_EQ(mode.Type, static_cast<DWORD>(REG_SZ)) << key;
    EXPECT_EQ(mode.Bytes, std::string("Service", 8)) << key;
  }
  RunQuietly(ServiceExe(), "/UNINSTALL /SILENT");
  for (const char* source : kSources) EXPECT_FALSE(SourceKeyExists(source)) << source;
  for (const char* key : kSafeBootKeys) EXPECT_EQ(MachineValue(key, nullptr).Type, static_cast<DWORD>(REG_NONE)) << key;
}

TEST_F(InstallWineTest, DialogsReportEachOutcome) {
  RunWithDialog("-install", kInformationCaption, kInstalledText);
  EXPECT_FALSE(ServiceKey(kService).empty());
  // Silent hides only success.
  RunWithDialog("/INSTALL /SILENT", kErrorCaption, "Service \"Nortavel free\" failed to install with error: \"" + OSErrorMessage(1073) + "\"");
  RunWithDialog("/UNINSTALL", kInformationCaption, kUninstalledText);
  EXPECT_EQ(app_wine::RemoveService(kService), 1060u) << "still registered";
  RunWithDialog("/Uninstall /Silent", kErrorCaption,
                "Service \"Nortavel free\" failed to uninstall with error: \"" + OSErrorMessage(1060) + "\"");
}

TEST_F(InstallWineTest, PathWithBlanksIsRegisteredQuoted) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "nortavel app dir";
  const std::string exe = folder + "\\nortavel_free_service.exe";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(ServiceExe().c_str(), exe.c_str(), FALSE));
  RunQuietly(exe, "/INSTALL /SILENT");
  const std::string quoted = "\"" + exe + "\"";
  EXPECT_EQ(_stricmp(ServiceKey(kService)["ImagePath"].c_str(), quoted.c_str()), 0) << ServiceKey(kService)["ImagePath"];
  // A message file is named as it is, blanks and all, without quotes.
  EXPECT_EQ(_stricmp(SourceValue(kSources[0], "EventMessageFile").Bytes.c_str(), exe.c_str()), 0);
  RunQuietly(exe, "/UNINSTALL /SILENT");
  EXPECT_TRUE(ServiceKey(kService).empty());
  DeleteFileA(exe.c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
