#pragma once
// The service's local pipe (common/protocol.h): its server side, which the
// service runs on a thread of its own, and the client side of the tool and the
// child's clock. Windows' named pipe calls behind a seam, so that the serving
// and the asking are tested natively with fakes.

#include <cstddef>
#include <cstdint>
#include <string>

// Who may do what with the pipe (SDDL): SYSTEM everything, creating its
// instances included; interactive users and the Administrators connect, read
// and write (GENERIC_READ, FILE_WRITE_DATA, FILE_WRITE_ATTRIBUTES), but may not
// create an instance (FILE_CREATE_PIPE_INSTANCE is not granted), so no other
// process can serve the name.
inline constexpr char kPipeAccess[] = "D:P(A;;GA;;;SY)(A;;0x12019b;;;BA)(A;;0x12019b;;;IU)";

// Who may do what with the clocks' goodbye event: SYSTEM and the
// Administrators everything, setting it included; interactive users only wait
// on it (SYNCHRONIZE).
inline constexpr char kClockGoodbyeAccess[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x100000;;;IU)";

// The server's side: one instance, one client at a time. Thread: the pipe
// thread, but Stop, which any thread may call.
class TPipeServerApi {
 public:
  enum class TWait { Client, Stopped, Failed };
  enum class TRead { Message, TooLong, TimedOut, Failed };

  virtual ~TPipeServerApi() = default;
  // CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, plus
  // FILE_FLAG_FIRST_PIPE_INSTANCE when first, PIPE_TYPE_MESSAGE |
  // PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1 instance,
  // buffers of kMaxRequestBytes, the access list sddl): 0, or the Windows error
  // (ERROR_ACCESS_DENIED when another process holds the name).
  virtual uint32_t Create(const std::string& name, const std::string& sddl, bool first) = 0;
  // CreateEventA(the access list sddl, manual reset, not set, name), kept open
  // while the process runs: the event the clocks wait on for the package's
  // goodbye. 0, or the Windows error.
  virtual uint32_t CreateGoodbye(const std::string& name, const std::string& sddl) = 0;
  // ConnectNamedPipe: until a client connects, or Stop.
  virtual TWait WaitForClient() = 0;
  // One message of at most room bytes, waiting at most timeoutMs.
  virtual TRead Read(std::string& message, size_t room, uint32_t timeoutMs) = 0;
  // Writes text as one message and waits, at most timeoutMs, for the client to
  // read it and close its end. False when the write fails.
  virtual bool Answer(const std::string& text, uint32_t timeoutMs) = 0;
  // ImpersonateNamedPipeClient, then GetUserNameA and CheckTokenMembership with
  // the Administrators' SID, then RevertToSelf: the client's account name (empty
  // when it cannot be told) and whether it is an administrator.
  virtual std::string ClientUser(bool& administrator) = 0;
  // DisconnectNamedPipe: ready for the next client.
  virtual void EndClient() = 0;
  // Makes WaitForClient and Read return at once, now and from now on.
  virtual void Stop() = 0;
};

// The client's side. Thread: the caller's.
class TPipeClientApi {
 public:
  // Call's answer when the server is not the service (not in session 0).
  static constexpr uint32_t kNotTheService = 0xE0000001;

  virtual ~TPipeClientApi() = default;
  // WaitNamedPipeA(name, timeoutMs), CreateFileA(name, GENERIC_READ |
  // FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES, identification only),
  // SetNamedPipeHandleState(PIPE_READMODE_MESSAGE), the request written, one
  // answer read (at most kMaxRequestBytes). With serviceOnly, before anything is
  // written, GetNamedPipeServerSessionId must give session 0, where only
  // services run: a pipe a user's program made under the name fails with
  // kNotTheService. 0 and the answer, or the Windows error.
  virtual uint32_t Call(const std::string& name, const std::string& request, std::string& answer, uint32_t timeoutMs,
                        bool serviceOnly) = 0;
};

// The Windows implementations; not available natively.
TPipeServerApi& PlatformPipeServer();
TPipeClientApi& PlatformPipeClient();
