#include "tests/fakes/fake_service_runtime.h"

#include <algorithm>
#include <chrono>

#include "svcmgr/message_loop_api.h"

namespace {
constexpr uintptr_t kThreadHandleBase = 0x7000;
constexpr uintptr_t kEventSourceBase = 0xE000;
constexpr auto kPatience = std::chrono::seconds(10);

// GetLastError is per thread.
thread_local uint32_t CallerLastError = 0;

std::string Join(std::initializer_list<uint64_t> values) {
  std::string text;
  for (uint64_t value : values) text += " " + std::to_string(value);
  return text;
}
}  // namespace

uintptr_t TFakeEventLog::RegisterSource(const std::string& sourceName) {
  std::lock_guard<std::mutex> guard(Lock);
  Registered.push_back(sourceName);
  return kEventSourceBase + Registered.size() - 1;
}

bool TFakeEventLog::Report(uintptr_t source, uint16_t eventType, uint16_t category, uint32_t eventId,
                           const std::string& message) {
  std::lock_guard<std::mutex> guard(Lock);
  const size_t index = source - kEventSourceBase;
  const std::string name = index < Registered.size() ? Registered[index] : "<unregistered>";
  Recorded.push_back(TRecordedEvent{name, eventType, category, eventId, message});
  Journal("event " + message);
  return true;
}

void TFakeEventLog::DeregisterSource(uintptr_t) {}

std::vector<TRecordedEvent> TFakeEventLog::Events() {
  std::lock_guard<std::mutex> guard(Lock);
  return Recorded;
}

std::vector<std::string> TFakeEventLog::Sources() {
  std::lock_guard<std::mutex> guard(Lock);
  return Registered;
}

TFakeServiceRuntime::TFakeServiceRuntime() : Log([this](const std::string& entry) { AppendJournal(entry); }) {}

TFakeServiceRuntime::~TFakeServiceRuntime() {
  std::vector<std::thread> runners;
  {
    std::lock_guard<std::mutex> guard(Lock);
    for (auto& thread : Threads) {
      if (!thread->Resumed) thread->Cancelled = true;
      if (thread->Runner.joinable()) runners.push_back(std::move(thread->Runner));
    }
  }
  Changed.notify_all();
  for (auto& runner : runners) runner.join();
}

uint32_t TFakeServiceRuntime::CurrentIdLocked() {
  auto found = ThreadIds.find(std::this_thread::get_id());
  if (found != ThreadIds.end()) return found->second;
  const uint32_t id = NextThreadId++;
  ThreadIds[std::this_thread::get_id()] = id;
  return id;
}

void TFakeServiceRuntime::RecordLocked(std::string call) { CallLog.emplace_back(CurrentIdLocked(), std::move(call)); }

TFakeServiceRuntime::TFakeThread* TFakeServiceRuntime::FindLocked(uintptr_t handle) {
  const size_t index = handle - kThreadHandleBase;
  return index < Threads.size() ? Threads[index].get() : nullptr;
}

std::deque<TThreadMessage>& TFakeServiceRuntime::QueueOfCallerLocked() { return Queues[CurrentIdLocked()]; }

bool TFakeServiceRuntime::InFilter(const TThreadMessage& message, uint32_t filterMin, uint32_t filterMax) {
  if (filterMin == 0 && filterMax == 0) return true;
  return message.Message >= filterMin && message.Message <= filterMax;
}

void TFakeServiceRuntime::AppendJournal(const std::string& entry) {
  std::lock_guard<std::mutex> guard(JournalLock);
  JournalEntries.push_back(entry);
}

uintptr_t TFakeServiceRuntime::RegisterControlEntry(const std::string& serviceName, TServiceControlEntry entry) {
  std::lock_guard<std::mutex> guard(Lock);
  RecordLocked("register " + serviceName);
  if (FailRegistration != 0) {
    CallerLastError = FailRegistration;
    return 0;
  }
  Entry = entry;
  EntryName = serviceName;
  return kStatusHandle;
}

bool TFakeServiceRuntime::ReportStatus(uintptr_t statusHandle, const TServiceStatusRecord& status) {
  // The probe runs outside the lock: it may take locks of its own.
  const std::string note = ReportProbe ? ReportProbe() : std::string();
  {
    std::lock_guard<std::mutex> guard(Lock);
    RecordLocked("status" + Join({statusHandle, status.CurrentState, status.CheckPoint}));
    StatusReports.push_back(status);
    StatusThreads.push_back(CurrentIdLocked());
    StatusNotes.push_back(note);
    AppendJournal("report" + Join({status.CurrentState, status.CheckPoint}));
  }
  Changed.notify_all();
  if (FailReportStatus != 0) {
    CallerLastError = FailReportStatus;
    return false;
  }
  return true;
}

uintptr_t TFakeServiceRuntime::SpawnThread(TThreadRoutine& routine, uint32_t creationFlags, uint32_t& threadId) {
  std::lock_guard<std::mutex> guard(Lock);
  RecordLocked("spawn" + Join({creationFlags}));
  if (FailSpawn != 0) {
    CallerLastError = FailSpawn;
    return 0;
  }
  auto thread = std::make_unique<TFakeThread>();
  TFakeThread* raw = thread.get();
  raw->Id = NextThreadId++;
  raw->Runner = std::thread([this, raw, &routine] {
    {
      std::unique_lock<std::mutex> lock(Lock);
      ThreadIds[std::this_thread::get_id()] = raw->Id;
      Changed.wait(lock, [raw] { return raw->Resumed || raw->Cancelled; });
      if (raw->Cancelled) return;
    }
    try {
      routine.ThreadMain();
    } catch (...) {
    }
    {
      std::lock_guard<std::mutex> lock(Lock);
      raw->Ended = true;
    }
    Changed.notify_all();
  });
  Threads.push_back(std::move(thread));
  threadId = raw->Id;
  LastSpawned = raw->Id;
  return kThreadHandleBase + Threads.size() - 1;
}

uint32_t TFakeServiceRuntime::ResumeSuspended(uintptr_t thread) {
  {
    std::lock_guard<std::mutex> guard(Lock);
    RecordLocked("resume");
    TFakeThread* target = FindLocked(thread);
    if (FailResume != 0 || target == nullptr) {
      CallerLastError = FailResume != 0 ? FailResume : 6;  // ERROR_INVALID_HANDLE
      return kResumeFailed;
    }
    target->Resumed = true;
  }
  Changed.notify_all();
  return 1;
}

uint32_t TFakeServiceRuntime::WaitObject(uintptr_t handle, uint32_t milliseconds) {
  constexpr uint32_t kWaitObject0 = 0, kWaitTimeout = 0x102, kWaitFailed = 0xFFFFFFFF;
  std::unique_lock<std::mutex> lock(Lock);
  RecordLocked("wait" + Join({milliseconds}));
  TFakeThread* target = FindLocked(handle);
  if (target == nullptr) return kWaitFailed;
  auto ended = [target] { return target->Ended; };
  if (milliseconds == kInfinite) {
    Changed.wait(lock, ended);
    return kWaitObject0;
  }
  return Changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ended) ? kWaitObject0 : kWaitTimeout;
}

void TFakeServiceRuntime::CloseThreadHandle(uintptr_t thread) {
  std::thread runner;
  {
    std::lock_guard<std::mutex> guard(Lock);
    RecordLocked("close");
    TFakeThread* target = FindLocked(thread);
    if (target == nullptr) return;
    // A thread that was never resumed never runs; one that ran is joined here if
    // it has ended, else when the fake goes.
    if (!target->Resumed) target->Cancelled = true;
    if ((target->Cancelled || target->Ended) && target->Runner.joinable()) runner = std::move(target->Runner);
  }
  Changed.notify_all();
  if (runner.joinable()) runner.join();
}

bool TFakeServiceRuntime::PostToThread(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard<std::mutex> guard(Lock);
    RecordLocked("post" + Join({threadId, message, wParam, static_cast<uint64_t>(lParam)}));
    auto queue = Queues.find(threadId);
    if (queue == Queues.end()) {
      CallerLastError = kErrorInvalidThreadId;
      return false;
    }
    TThreadMessage posted;
    posted.Message = message;
    posted.WParam = wParam;
    posted.LParam = lParam;
    queue->second.push_back(posted);
  }
  Changed.notify_all();
  return true;
}

bool TFakeServiceRuntime::PeekQueue(TThreadMessage& message, uintptr_t window, uint32_t filterMin,
                                    uint32_t filterMax, uint32_t removeFlags) {
  std::lock_guard<std::mutex> guard(Lock);
  RecordLocked("peek" + Join({window, filterMin, filterMax, removeFlags}));
  auto& queue = QueueOfCallerLocked();
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (!InFilter(*it, filterMin, filterMax)) continue;
    message = *it;
    if ((removeFlags & kPmRemove) != 0) queue.erase(it);
    return true;
  }
  return false;
}

int32_t TFakeServiceRuntime::WaitQueue(TThreadMessage& message, uintptr_t window, uint32_t filterMin,
                                       uint32_t filterMax) {
  std::unique_lock<std::mutex> lock(Lock);
  RecordLocked("get" + Join({window, filterMin, filterMax}));
  auto& queue = QueueOfCallerLocked();
  for (;;) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
      if (!InFilter(*it, filterMin, filterMax)) continue;
      message = *it;
      queue.erase(it);
      return message.Message == kWmQuit ? 0 : 1;
    }
    Changed.wait(lock);
  }
}

void TFakeServiceRuntime::DispatchQueued(const TThreadMessage& message) {
  {
    std::lock_guard<std::mutex> guard(Lock);
    RecordLocked("dispatch" + Join({message.Message}));
    DispatchedMessages.push_back(message.Message);
  }
  Changed.notify_all();
}

uint32_t TFakeServiceRuntime::LastError() { return CallerLastError; }

void TFakeServiceRuntime::Control(uint32_t controlCode) {
  TServiceControlEntry entry;
  {
    std::lock_guard<std::mutex> guard(Lock);
    entry = Entry;
  }
  if (entry != nullptr) entry(controlCode);
}

bool TFakeServiceRuntime::WaitForReports(size_t count) {
  std::unique_lock<std::mutex> lock(Lock);
  return Changed.wait_for(lock, kPatience, [this, count] { return StatusReports.size() >= count; });
}

bool TFakeServiceRuntime::WaitForReport(uint32_t currentState) {
  std::unique_lock<std::mutex> lock(Lock);
  return Changed.wait_for(lock, kPatience, [this, currentState] {
    return std::any_of(StatusReports.begin(), StatusReports.end(),
                       [currentState](const TServiceStatusRecord& report) { return report.CurrentState == currentState; });
  });
}

bool TFakeServiceRuntime::WaitForDispatched(uint32_t message, size_t count) {
  std::unique_lock<std::mutex> lock(Lock);
  return Changed.wait_for(lock, kPatience, [this, message, count] {
    return static_cast<size_t>(std::count(DispatchedMessages.begin(), DispatchedMessages.end(), message)) >= count;
  });
}

std::vector<TServiceStatusRecord> TFakeServiceRuntime::Reports() {
  std::lock_guard<std::mutex> guard(Lock);
  return StatusReports;
}

std::vector<uint32_t> TFakeServiceRuntime::ReportThreads() {
  std::lock_guard<std::mutex> guard(Lock);
  return StatusThreads;
}

std::vector<std::string> TFakeServiceRuntime::ReportNotes() {
  std::lock_guard<std::mutex> guard(Lock);
  return StatusNotes;
}

std::vector<std::string> TFakeServiceRuntime::Calls() {
  std::lock_guard<std::mutex> guard(Lock);
  std::vector<std::string> calls;
  for (const auto& call : CallLog) calls.push_back(call.second);
  return calls;
}

std::vector<std::string> TFakeServiceRuntime::CallsOn(uint32_t threadId) {
  std::lock_guard<std::mutex> guard(Lock);
  std::vector<std::string> calls;
  for (const auto& call : CallLog)
    if (call.first == threadId) calls.push_back(call.second);
  return calls;
}

std::vector<std::string> TFakeServiceRuntime::Journal() {
  std::lock_guard<std::mutex> guard(JournalLock);
  return JournalEntries;
}

std::vector<uint32_t> TFakeServiceRuntime::Dispatched() {
  std::lock_guard<std::mutex> guard(Lock);
  return DispatchedMessages;
}

TServiceControlEntry TFakeServiceRuntime::RegisteredEntry() {
  std::lock_guard<std::mutex> guard(Lock);
  return Entry;
}

std::string TFakeServiceRuntime::RegisteredName() {
  std::lock_guard<std::mutex> guard(Lock);
  return EntryName;
}

uint32_t TFakeServiceRuntime::LastSpawnedId() {
  std::lock_guard<std::mutex> guard(Lock);
  return LastSpawned;
}

uint32_t TFakeServiceRuntime::CurrentThreadId() {
  std::lock_guard<std::mutex> guard(Lock);
  return CurrentIdLocked();
}
