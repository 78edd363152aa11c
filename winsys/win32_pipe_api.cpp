// The service's pipe, forwarded to Windows' named pipe calls. The server uses
// overlapped calls, so that every wait is bounded and a stop ends it at once.
#include "common/win32.h"

#include <sddl.h>

#include <vector>

#include "common/protocol.h"
#include "winsys/pipe_api.h"

namespace {

// An overlapped call's end: completed (true), or after timeoutMs or a stop
// cancelled and false. Waits for a cancelled call to end, so that its buffer
// and OVERLAPPED can go.
bool Finish(HANDLE pipe, OVERLAPPED& overlapped, HANDLE stop, DWORD timeoutMs, DWORD& bytes, bool& stopped) {
  HANDLE events[2] = {overlapped.hEvent, stop};
  const DWORD waited = WaitForMultipleObjects(2, events, FALSE, timeoutMs);
  stopped = waited == WAIT_OBJECT_0 + 1;
  if (waited != WAIT_OBJECT_0) {
    CancelIo(pipe);
    GetOverlappedResult(pipe, &overlapped, &bytes, TRUE);
    return false;
  }
  return GetOverlappedResult(pipe, &overlapped, &bytes, FALSE) != FALSE;
}

// A client that sends more than this in one message is let go unanswered.
constexpr size_t kMostDropped = 64 * 1024;

class TWin32PipeServer : public TPipeServerApi {
 public:
  TWin32PipeServer()
      : StopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)), IoEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

  uint32_t Create(const std::string& name, const std::string& sddl, bool first) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
      return GetLastError();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    Pipe = CreateNamedPipeA(name.c_str(),
                            PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                            kMaxRequestBytes, kMaxRequestBytes, 0, &attributes);
    const DWORD error = Pipe == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    LocalFree(descriptor);
    return error;
  }

  uint32_t CreateGoodbye(const std::string& name, const std::string& sddl) override {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
      return GetLastError();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    if (Goodbye == nullptr) Goodbye = CreateEventA(&attributes, TRUE, FALSE, name.c_str());
    const DWORD error = Goodbye == nullptr ? GetLastError() : 0;
    LocalFree(descriptor);
    return error;
  }

  TWait WaitForClient() override {
    if (Pipe == INVALID_HANDLE_VALUE) return TWait::Failed;
    OVERLAPPED overlapped = Fresh();
    if (ConnectNamedPipe(Pipe, &overlapped)) return TWait::Client;
    const DWORD error = GetLastError();
    if (error == ERROR_PIPE_CONNECTED) return TWait::Client;
    if (error != ERROR_IO_PENDING) return TWait::Failed;
    DWORD bytes = 0;
    bool stopped = false;
    if (Finish(Pipe, overlapped, StopEvent, INFINITE, bytes, stopped)) return TWait::Client;
    return stopped ? TWait::Stopped : TWait::Failed;
  }

  TRead Read(std::string& message, size_t room, uint32_t timeoutMs) override {
    std::vector<char> buffer(room);
    DWORD bytes = 0;
    const TRead read = ReadPart(buffer, bytes, timeoutMs);
    if (read == TRead::Message) message.assign(buffer.data(), bytes);
    if (read != TRead::TooLong) return read;
    // The rest of a message too long is read and dropped: left in the pipe,
    // it would end the wait in Answer before the client has its answer.
    for (size_t dropped = 0; dropped < kMostDropped; dropped += room) {
      const TRead rest = ReadPart(buffer, bytes, timeoutMs);
      if (rest != TRead::TooLong) return rest == TRead::Message ? TRead::TooLong : rest;
    }
    return TRead::Failed;
  }

  bool Answer(const std::string& text, uint32_t timeoutMs) override {
    OVERLAPPED overlapped = Fresh();
    DWORD bytes = 0;
    bool stopped = false;
    bool written = WriteFile(Pipe, text.data(), static_cast<DWORD>(text.size()), &bytes, &overlapped) != FALSE;
    if (!written && GetLastError() == ERROR_IO_PENDING)
      written = Finish(Pipe, overlapped, StopEvent, timeoutMs, bytes, stopped);
    if (!written) return false;
    // Disconnecting drops what the client has not read yet: the client reads
    // its answer and closes its end first, which ends this read.
    char spare[1];
    overlapped = Fresh();
    if (ReadFile(Pipe, spare, sizeof spare, &bytes, &overlapped) || GetLastError() == ERROR_IO_PENDING)
      Finish(Pipe, overlapped, StopEvent, timeoutMs, bytes, stopped);
    return true;
  }

  std::string ClientUser(bool& administrator) override {
    administrator = false;
    if (!ImpersonateNamedPipeClient(Pipe)) return std::string();
    char name[257] = {};
    DWORD size = sizeof name;
    const bool named = GetUserNameA(name, &size) != FALSE;
    HANDLE token = nullptr;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
        CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize)) {
      BOOL member = FALSE;
      administrator = CheckTokenMembership(token, sid, &member) && member;
    }
    if (token != nullptr) CloseHandle(token);
    RevertToSelf();
    return named ? std::string(name) : std::string();
  }

  void EndClient() override { DisconnectNamedPipe(Pipe); }

  void Stop() override { SetEvent(StopEvent); }

 private:
  // One read of at most buffer's size: Message when the message ended in it,
  // TooLong when more of it follows.
  TRead ReadPart(std::vector<char>& buffer, DWORD& bytes, uint32_t timeoutMs) {
    OVERLAPPED overlapped = Fresh();
    bool done = ReadFile(Pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &bytes, &overlapped) != FALSE;
    DWORD error = done ? 0 : GetLastError();
    if (!done && error == ERROR_IO_PENDING) {
      bool stopped = false;
      done = Finish(Pipe, overlapped, StopEvent, timeoutMs, bytes, stopped);
      error = done ? 0 : GetLastError();
      if (!done && error != ERROR_MORE_DATA) return stopped || error != ERROR_OPERATION_ABORTED ? TRead::Failed
                                                                                                  : TRead::TimedOut;
    }
    if (!done) return error == ERROR_MORE_DATA ? TRead::TooLong : TRead::Failed;
    return TRead::Message;
  }

  OVERLAPPED Fresh() {
    ResetEvent(IoEvent);
    OVERLAPPED overlapped{};
    overlapped.hEvent = IoEvent;
    return overlapped;
  }

  HANDLE Pipe = INVALID_HANDLE_VALUE;
  HANDLE Goodbye = nullptr;
  HANDLE StopEvent;
  HANDLE IoEvent;
};

class TWin32PipeClient : public TPipeClientApi {
 public:
  uint32_t Call(const std::string& name, const std::string& request, std::string& answer, uint32_t timeoutMs,
                bool serviceOnly) override {
    answer.clear();
    HANDLE pipe = INVALID_HANDLE_VALUE;
    // The one instance freed for this client may go to another first: then
    // this one waits again, within the same time.
    for (const ULONGLONG until = GetTickCount64() + timeoutMs; pipe == INVALID_HANDLE_VALUE;) {
      const ULONGLONG now = GetTickCount64();
      if (now >= until || !WaitNamedPipeA(name.c_str(), static_cast<DWORD>(until - now))) return GetLastError();
      // Identification only: a server may learn who asks, never act as them.
      pipe = CreateFileA(name.c_str(), GENERIC_READ | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                         OPEN_EXISTING, SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
      if (pipe == INVALID_HANDLE_VALUE && GetLastError() != ERROR_PIPE_BUSY) return GetLastError();
    }
    uint32_t result = 0;
    ULONG session = 1;
    DWORD mode = PIPE_READMODE_MESSAGE;
    DWORD bytes = 0;
    char buffer[kMaxRequestBytes];
    if (serviceOnly && (!GetNamedPipeServerSessionId(pipe, &session) || session != 0)) {
      result = kNotTheService;
    } else if (!SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr) ||
               !WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), &bytes, nullptr) ||
               !ReadFile(pipe, buffer, sizeof buffer, &bytes, nullptr)) {
      result = GetLastError();
    } else {
      answer.assign(buffer, bytes);
    }
    CloseHandle(pipe);
    return result;
  }
};

}  // namespace

TPipeServerApi& PlatformPipeServer() {
  static TWin32PipeServer server;
  return server;
}

TPipeClientApi& PlatformPipeClient() {
  static TWin32PipeClient client;
  return client;
}
