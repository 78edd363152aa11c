#pragma once
// TThread: a system thread created suspended through the runtime seam, started
// explicitly, waited for, and released by its owner once it has ended. What the
// thread does is the derived class's Execute; this class knows nothing of it.
//
// Threads: created, started, waited for and released on the owner's thread; the
// body runs on the new thread. The stop flag is atomic, so RequestStop and
// StopRequested are safe from any thread.

#include <atomic>
#include <cstdint>

#include "common/owned.h"
#include "svcmgr/service_api.h"

inline constexpr char kThreadCreationError[] = "Thread creation error: %s";
inline constexpr char kThreadResumeError[] = "Thread resume error: %s";

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

 private:
  void ThreadMain() override;

  TServiceRuntimeApi& Api;
  TOwned<TServiceRuntimeApi, &TServiceRuntimeApi::CloseThreadHandle> Handle;
  uint32_t Id = 0;
  std::atomic<bool> StopFlag{false};
};
