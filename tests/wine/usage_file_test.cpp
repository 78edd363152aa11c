// The usage file's folder and file against the real Win32 calls: the common data
// folder, the private folder made or taken over, and the file replaced whole.
//
// Wine keeps no access lists: it turns a list it is given into Unix mode bits
// and reads back a list made from the mode, in which the Unix user's own
// account owns every file with full control. So the checks here look at what a
// list grants to accounts other than the administrative ones and the one the
// test runs as, and to Everyone; under Wine that is the mode's bits for
// everyone else, the part of a list that is real there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/diagnostic_log.h"
#include "diag/log_platform.h"
#include "diag/whole_file.h"
#include "tests/wine/whole_files.h"
#include "common/win32.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "?";
  std::string result = text;
  LocalFree(text);
  return result;
}

std::string OwnAccountSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::string();
  std::vector<char> buffer(512);
  DWORD size = 0;
  std::string sid;
  if (GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
    sid = SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
  CloseHandle(token);
  return sid;
}

// The accounts, as SIDs, that path's list grants any of rights (by default
// those that create or delete files), beside the administrative ones and the
// account this test runs as; "unreadable" when the list cannot be read.
std::string OtherWriters(const std::string& path, DWORD rights = kFolderWriteRights) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return "unreadable";
  if (dacl == nullptr) {
    LocalFree(descriptor);
    return "everyone (no list)";
  }
  const std::string own = OwnAccountSid();
  std::string writers;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)) || header->AceType != ACCESS_ALLOWED_ACE_TYPE ||
        (header->AceFlags & INHERIT_ONLY_ACE) != 0)
      continue;
    auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    const std::string sid = SidText(&ace->SidStart);
    if ((ace->Mask & rights) != 0 && !IsAdministrativeSid(sid) && sid != own)
      writers += (writers.empty() ? "" : ",") + sid;
  }
  LocalFree(descriptor);
  return writers;
}

// Gives path a list that lets everyone change it.
bool OpenToEveryone(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &descriptor,
                                                            nullptr))
    return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  std::string name = path;
  const bool set = SetNamedSecurityInfoA(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                                         nullptr) == ERROR_SUCCESS;
  LocalFree(descriptor);
  return set;
}

// Wine presents a Unix symbolic link to a folder as a reparse point, the kind
// of link a user could plant, but cannot make one (CreateSymbolicLinkA
// succeeds without making anything), and deleting one deletes what it points
// to. Wine runs Unix programs, so ln and rm make and remove the links here.
// program: its Windows path (Z: is the Unix root). Wine hands back no handle
// of a Unix process, so the caller waits for what the program does.
bool StartUnix(const std::string& program, const std::vector<std::string>& arguments) {
  std::string command = program;
  for (const std::string& argument : arguments) command += " \"" + argument + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  return true;
}

// Whether path names something (or nothing, with present false) within 10 s.
bool Becomes(const std::string& path, bool present) {
  for (int i = 0; i < 1000; ++i) {
    if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
    Sleep(10);
  }
  return false;
}

std::string UnixPath(const std::string& path) {
  using TUnixName = char*(CDECL*)(const WCHAR*);
  const auto unixName = reinterpret_cast<TUnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return std::string();
  const std::wstring wide(path.begin(), path.end());  // the test's paths are ASCII
  char* name = unixName(wide.c_str());
  if (name == nullptr) return std::string();
  std::string result = name;
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

class UsageFileWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    static int serial = 0;
    Folder = std::string(temp) + "usage-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr));
  }
  void TearDown() override {
    for (const std::string& link : Links)
      if (StartUnix("Z:\\bin\\rm", {"-f", UnixPath(link)})) Becomes(link, false);
    RemoveTree(Folder);
  }
  static void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          RemoveTree(path);
        } else {
          SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
  }
  // Plants a Unix symbolic link at link to target (Wine only).
  bool PlantLink(const std::string& target, const std::string& link) {
    Links.push_back(link);
    return StartUnix("Z:\\bin\\ln", {"-s", UnixPath(target), UnixPath(link)}) && Becomes(link, true);
  }
  // Files left in the folder under the replacement's temporary names.
  int TemporaryFiles() const {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((Folder + "\\" + kTrimFilePrefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int files = 0;
    do files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
    while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
  }

  std::string Folder;
  std::vector<std::string> Links;
  TLogPlatform& Files = PlatformLogFiles();
};

TEST_F(UsageFileWineTest, CommonDataFolderIsAnExistingFolderWithoutAClosingBackslash) {
  const std::string common = Files.CommonDataFolder();
  ASSERT_GT(common.size(), 3u) << common;
  EXPECT_EQ(common.substr(1, 2), ":\\") << common;
  EXPECT_NE(common.back(), '\\') << "the service adds the separator itself";
  const DWORD kind = GetFileAttributesA(common.c_str());
  ASSERT_NE(kind, INVALID_FILE_ATTRIBUTES) << common;
  EXPECT_NE(kind & FILE_ATTRIBUTE_DIRECTORY, 0u) << common;
}

// Whether the process's own token has the privilege enabled.
bool PrivilegeEnabled(const char* name) {
  HANDLE token = nullptr;
  LUID luid{};
  if (!LookupPrivilegeValueA(nullptr, name, &luid) || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return false;
  std::vector<char> buffer(4096);
  DWORD size = 0;
  bool enabled = false;
  if (GetTokenInformation(token, TokenPrivileges, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) {
    const auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
      if (privileges->Privileges[i].Luid.LowPart == luid.LowPart &&
          privileges->Privileges[i].Luid.HighPart == luid.HighPart)
        enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  CloseHandle(token);
  return enabled;
}

// The service names the folder with a closing backslash; both forms are taken.
// Its own record's folder is not even readable by others.
TEST_F(UsageFileWineTest, PrivateFolderIsMadeSoThatOnlyAdministratorsMayChangeIt) {
  EXPECT_TRUE(Files.CreatePrivateFolder(Folder + "\\record\\", false));
  EXPECT_EQ(OtherWriters(Folder + "\\record", FILE_READ_DATA | FILE_LIST_DIRECTORY), "");
  for (const std::string& path : {Folder + "\\made\\", Folder + "\\made-bare"}) {
    EXPECT_TRUE(Files.CreatePrivateFolder(path, true)) << path;
    const DWORD kind = GetFileAttributesA(path.c_str());
    ASSERT_NE(kind, INVALID_FILE_ATTRIBUTES) << path;
    EXPECT_NE(kind & FILE_ATTRIBUTE_DIRECTORY, 0u) << path;
    EXPECT_EQ(OtherWriters(path), "") << path;
    // Under Wine the Unix user's account owns it with full control, so the
    // folder counts as open to others there.
    if (!UnderWine()) {
      EXPECT_EQ(Files.OthersMayWriteFolder(path), TFolderAccess::OnlyAdministrators) << path;
    }
    // A second start finds it made.
    EXPECT_TRUE(Files.CreatePrivateFolder(path, true)) << path;
  }
}

TEST_F(UsageFileWineTest, PrivateFolderTakesOverAFolderOpenToEveryone) {
  const std::string path = Folder + "\\planted";
  ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
  WriteAll(path + "\\usage.csv", "kept");
  ASSERT_TRUE(OpenToEveryone(path));
  ASSERT_EQ(OtherWriters(path), "S-1-1-0") << "everyone may change it before";
  ASSERT_EQ(Files.OthersMayWriteFolder(path), TFolderAccess::OthersMayWrite);
  EXPECT_TRUE(Files.CreatePrivateFolder(path + "\\", true));
  EXPECT_EQ(OtherWriters(path), "");
  EXPECT_TRUE(PrivilegeEnabled("SeTakeOwnershipPrivilege")) << "needed to give another's folder a new owner";
  EXPECT_TRUE(PrivilegeEnabled("SeRestorePrivilege")) << "needed to name the Administrators its owner";
  if (!UnderWine()) {
    EXPECT_EQ(Files.OthersMayWriteFolder(path), TFolderAccess::OnlyAdministrators);
  }
  EXPECT_EQ(ReadAll(path + "\\usage.csv"), "kept") << "what it holds stays";
}

TEST_F(UsageFileWineTest, PrivateFolderRefusesAFileAndALinkWhereTheFolderWasToBe) {
  const std::string file = Folder + "\\file";
  WriteAll(file, "a file");
  EXPECT_FALSE(Files.CreatePrivateFolder(file, true));
  EXPECT_FALSE(Files.CreatePrivateFolder(file + "\\", true));
  EXPECT_EQ(ReadAll(file), "a file");
  EXPECT_EQ(GetFileAttributesA(file.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  if (!UnderWine()) GTEST_SKIP() << "the link is planted with Unix programs";
  const std::string target = Folder + "\\elsewhere";
  const std::string link = Folder + "\\link";
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  ASSERT_TRUE(OpenToEveryone(target));
  ASSERT_TRUE(PlantLink(target, link));
  ASSERT_EQ(GetFileAttributesA(link.c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  for (const std::string& path : {link, link + "\\"}) {
    EXPECT_FALSE(Files.CreatePrivateFolder(path, true)) << path;
    EXPECT_EQ(OtherWriters(target), "S-1-1-0") << "the list of the folder it points to is left alone: " << path;
  }
}

TEST_F(UsageFileWineTest, ReplacedFileHoldsExactlyTheBytesGivenAndReadsBackWhole) {
  // Every byte value, line breaks of every kind, and more than one read's chunk.
  std::string text = "date,user,seconds\r\nlf only\ncr only\r";
  for (int i = 0; i < 256; ++i) text += static_cast<char>(i);
  while (text.size() < 200000) text += "2026-12-08,anna,4320\n";
  const std::string folder = Folder + "\\";
  ASSERT_EQ(ReplaceWholeFile(Files, folder, "usage.csv", text), TWholeFile::Done);
  EXPECT_TRUE(ReadAll(folder + "usage.csv") == text) << "the bytes on disk, without line break translation";
  std::string read = "stale";
  ASSERT_EQ(ReadWholeFile(Files, folder + "usage.csv", read), TWholeFile::Done);
  EXPECT_TRUE(read == text);

  // A shorter text over it leaves nothing of the old one; so does an empty one.
  ASSERT_EQ(ReplaceWholeFile(Files, folder, "usage.csv", "short\r\n"), TWholeFile::Done);
  EXPECT_EQ(ReadAll(folder + "usage.csv"), "short\r\n");
  ASSERT_EQ(ReplaceWholeFile(Files, folder, "usage.csv", ""), TWholeFile::Done);
  ASSERT_EQ(ReadWholeFile(Files, folder + "usage.csv", read), TWholeFile::Done);
  EXPECT_EQ(read, "");
  EXPECT_EQ(TemporaryFiles(), 0);
}

// A folder where the file should be (any user could make one before the data
// folder was private) is no file to read or replace: the service sets it aside.
TEST_F(UsageFileWineTest, ReadingTellsAMissingFileFromAFolderInItsPlace) {
  std::string text = "stale";
  EXPECT_EQ(ReadWholeFile(Files, Folder + "\\usage.csv", text), TWholeFile::Missing);
  EXPECT_EQ(text, "");
  ASSERT_TRUE(CreateDirectoryA((Folder + "\\usage.csv").c_str(), nullptr));
  EXPECT_EQ(ReadWholeFile(Files, Folder + "\\usage.csv", text), TWholeFile::NotPlain);
  EXPECT_EQ(ReplaceWholeFile(Files, Folder + "\\", "usage.csv", "new"), TWholeFile::NotPlain);
  EXPECT_EQ(TemporaryFiles(), 0);
}

// A user who may write the folder plants a second name of another file where
// the usage file is: it is neither read nor written, nor is what it names.
// (Wine shows a Unix link to a file as the plain file it points to.)
TEST_F(UsageFileWineTest, ALinkAtTheFilesNameIsNeverWrittenThrough) {
  const std::string folder = Folder + "\\";
  const std::string victim = folder + "victim.txt";
  WriteAll(victim, "precious");
  ASSERT_TRUE(CreateHardLinkA((folder + "usage.csv").c_str(), victim.c_str(), nullptr));
  std::string text;
  EXPECT_EQ(ReadWholeFile(Files, folder + "usage.csv", text), TWholeFile::NotPlain);
  EXPECT_EQ(ReplaceWholeFile(Files, folder, "usage.csv", "new"), TWholeFile::NotPlain);
  EXPECT_EQ(ReadAll(victim), "precious");
  EXPECT_EQ(TemporaryFiles(), 0);

}

}  // namespace
