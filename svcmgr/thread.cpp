#include "svcmgr/thread.h"

#include "common/exceptions.h"
#include "common/format_text.h"
#include "common/system_error.h"

TThread::TThread(TServiceRuntimeApi& api) : Api(api) {
  // Suspended, so the body cannot run before the derived object is complete and
  // its owner has published it.
  uint32_t id = 0;
  const uintptr_t handle = Api.SpawnThread(*this, kCreateSuspended, id);
  if (handle == 0) throw EThread(FormatText(kThreadCreationError, {SystemErrorText(Api.LastError())}));
  Handle = decltype(Handle)(Api, handle);
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
