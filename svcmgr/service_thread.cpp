#include "svcmgr/service_thread.h"

#include "common/exceptions.h"
#include "common/system_error.h"
#include "svcmgr/service.h"

TThread::TThread(TServiceRuntimeApi& api) : Api(api) {
  // Suspended, so the body cannot run before the derived object is complete and
  // its owner has published it.
  uint32_t id = 0;
  const uintptr_t handle = Api.SpawnThread(*this, kCreateSuspended, id);
  if (handle == 0) throw EThread(FormatText(kThreadCreationError, {SystemErrorText(Api.LastError())}));
  Handle = TOwned<TThreadHandleTraits>(Api, handle);
  Id = id;
}

TThread::~TThread() = default;

void TThread::Start() {
  if (Api.ResumeSuspended(Handle.Get()) == kResumeFailed)
    throw EThread(FormatText(kThreadResumeError, {SystemErrorText(Api.LastError())}));
}

void TThread::WaitFor() { Api.WaitObject(Handle.Get(), kInfinite); }

void TThread::ThreadMain() {
  try {
    Execute();
  } catch (...) {
    // A thrown object the body did not handle ends the thread without a message.
  }
}

void TServiceThread::Execute() {
  // The queue must exist before anyone can post to this thread; until then a
  // control request fails to post and is lost.
  TThreadMessage message;
  Api.PeekQueue(message, 0, kWmUser, kWmUser, kPmNoRemove);

  try {
    Service.SetServiceState(TServiceState::ssStartPending);
    bool started = true;
    if (Service.OnStart) Service.OnStart(&Service, started);
    if (!started) return;
  } catch (const std::exception& error) {
    Service.WriteServiceEvent(FormatText(kServiceFailedFormat, {"start", error.what()}));
    return;
  }

  try {
    Service.SetServiceState(TServiceState::ssRunning);
    if (Service.OnExecute) {
      Service.OnExecute(&Service);
    } else {
      // Without a body the service simply serves requests until it is stopped.
      while (!Service.StopRequested()) Service.PumpControlRequests(true);
    }
    Service.PumpControlRequests(false);
  } catch (const std::exception& error) {
    Service.WriteServiceEvent(FormatText(kServiceFailedFormat, {"execute", error.what()}));
  }
}
