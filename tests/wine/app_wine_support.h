#pragma once
// Running the service executable and the dialog helper from a Windows test, and
// reading back what the control manager recorded.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "common/win32.h"

namespace app_wine {

// The build folder (NF_BUILD_DIR, a Unix path) as Wine names it.
inline std::string BuildDir() {
  const char* unixPath = std::getenv("NF_BUILD_DIR");
  std::string path = unixPath != nullptr ? unixPath : ".";
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

inline std::string ServiceExe() { return BuildDir() + "\\nortavel_free_service.exe"; }

inline std::string TempFile(const char* prefix) {
  char folder[MAX_PATH] = {}, file[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, prefix, 0, file);
  return file;
}

// A child process whose standard output and error handles go to a file of its own.
class TChild {
 public:
  explicit TChild(const std::string& commandLine) : OutputPath(TempFile("nfo")) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    Output = CreateFileA(OutputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = Output;
    startup.hStdError = Output;
    std::string line = commandLine;
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
      Process = info.hProcess;
      CloseHandle(info.hThread);
    }
  }
  ~TChild() {
    if (Process != nullptr) {
      if (WaitForSingleObject(Process, 0) == WAIT_TIMEOUT) TerminateProcess(Process, 99);
      CloseHandle(Process);
    }
    if (Output != INVALID_HANDLE_VALUE) CloseHandle(Output);
    DeleteFileA(OutputPath.c_str());
  }
  TChild(const TChild&) = delete;
  TChild& operator=(const TChild&) = delete;

  bool Started() const { return Process != nullptr; }
  // The exit code once the process has ended within milliseconds, else -1.
  long Wait(DWORD milliseconds) {
    if (Process == nullptr || WaitForSingleObject(Process, milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(Process, &code);
    return static_cast<long>(code);
  }
  std::string OutputText() const {
    std::ifstream in(OutputPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string OutputPath;
  HANDLE Output = INVALID_HANDLE_VALUE;
  HANDLE Process = nullptr;
};

// What dialog_closer.exe saw of a dialog before it pressed OK.
struct TSeenDialog {
  bool Found = false;
  std::map<std::string, std::string> Fields;  // caption, button, default, centred, others
  std::string Text;
};

// Waits for the dialog with caption, reads it and presses OK.
inline TSeenDialog CloseDialog(const std::string& caption, DWORD timeout = 30000) {
  TChild closer("\"" + BuildDir() + "\\dialog_closer.exe\" \"" + caption + "\" " + std::to_string(timeout));
  TSeenDialog seen;
  seen.Found = closer.Wait(timeout + 10000) == 0;
  const std::string output = closer.OutputText();
  const size_t text = output.find("text:");
  if (text == std::string::npos) return seen;
  seen.Text = output.substr(text + 5);
  std::istringstream lines(output.substr(0, text));
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(':');
    if (colon != std::string::npos) seen.Fields[line.substr(0, colon)] = line.substr(colon + 1);
  }
  return seen;
}

// The registration as the control manager stores it, or an empty map.
inline std::map<std::string, std::string> ServiceKey(const std::string& name) {
  std::map<std::string, std::string> values;
  HKEY key = nullptr;
  const std::string path = "System\\CurrentControlSet\\Services\\" + name;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  for (DWORD index = 0;; ++index) {
    char valueName[256] = {};
    DWORD nameLength = sizeof valueName, type = 0;
    BYTE data[2048] = {};
    DWORD dataLength = sizeof data;
    if (RegEnumValueA(key, index, valueName, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    if (type == REG_DWORD) {
      DWORD number = 0;
      std::memcpy(&number, data, sizeof number);
      values[valueName] = std::to_string(number);
    } else {
      values[valueName] = std::string(reinterpret_cast<char*>(data), dataLength > 0 ? dataLength - 1 : 0);
    }
  }
  RegCloseKey(key);
  return values;
}

// Removes a registration directly; the last error when it could not be opened.
inline DWORD RemoveService(const std::string& name) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return GetLastError();
  SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_ALL_ACCESS);
  DWORD result = ERROR_SUCCESS;
  if (service == nullptr) {
    result = GetLastError();
  } else {
    if (!DeleteService(service)) result = GetLastError();
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return result;
}

}  // namespace app_wine
