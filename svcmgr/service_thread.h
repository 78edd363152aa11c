#pragma once
// TThread: a system thread created suspended through the runtime seam, started
// explicitly, waited for, and released by its owner once it has ended.
// TServiceThread: the thread that runs a service's start, execute, stop and
// shutdown handlers and receives its control requests in its own message queue.
//
// Threads: created, started, waited for and released on the service-main thread;
// the body runs on the new thread. RequestStop and StopRequested are used on the
// service thread; the flag is atomic all the same, so a read from elsewhere is safe.

#include <atomic>
#include <cstdint>

#include "common/owned.h"
#include "svcmgr/service_api.h"

class TService;

inline constexpr char kThreadCreationError[] = "Thread creation error: %s";
inline constexpr char kThreadResumeError[] = "Thread resume error: %s";

struct TThreadHandleTraits {
  using Handle = uintptr_t;
  using Api = TServiceRuntimeApi;
  static constexpr Handle Null() { return 0; }
  static void Close(Api& api, Handle handle) { api.CloseThreadHandle(handle); }
};

class TThread : private TThreadRoutine {
 public:
  // Creates the thread suspended (CREATE_SUSPENDED). Raises EThread with
  // "Thread creation error: %s" and the system's text when that fails.
  explicit TThread(TServiceRuntimeApi& api);
  // Closes the thread handle. The owner waits for a started thread first; a
  // thread that was never started never runs its body.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // ResumeThread; raises EThread when it fails.
  void Start();
  // Returns once the thread has ended.
  void WaitFor();

  // Set once, never cleared.
  void RequestStop() { StopFlag.store(true); }
  bool StopRequested() const { return StopFlag.load(); }

  uint32_t ThreadId() const { return Id; }

 protected:
  // The body. Whatever it throws is swallowed: nothing may leave a thread's start routine.
  virtual void Execute() = 0;

  TServiceRuntimeApi& Api;

 private:
  void ThreadMain() override;

  TOwned<TThreadHandleTraits> Handle;
  uint32_t Id = 0;
  std::atomic<bool> StopFlag{false};
};

class TServiceThread : public TThread {
 public:
  TServiceThread(TService& service, TServiceRuntimeApi& api) : TThread(api), Service(service) {}

 protected:
  // Creates the message queue, reports start pending, runs OnStart, reports
  // running, runs OnExecute and then handles what is still queued.
  void Execute() override;

 private:
  TService& Service;
};
