#pragma once
// A fake service control manager behind the runtime seam. Threads and message
// queues are real (std::thread, a locked queue per thread), so the runtime's
// service-main, service and dispatcher threads interleave as they would on
// Windows; status reports, event-log entries and every call are recorded, and
// each operation can be made to fail with a given error code.
//
// Thread IDs are the fake's own small numbers; a thread not created by the fake
// (a test's thread) gets one the first time it calls in. A thread has a message
// queue only after its first PeekQueue or WaitQueue, as on Windows, and a post to
// a thread without one fails with ERROR_INVALID_THREAD_ID.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "svcmgr/service_api.h"

struct TRecordedEvent {
  std::string Source;
  uint16_t Type = 0;
  uint16_t Category = 0;
  uint32_t Id = 0;
  std::string Message;
};

// Event sources and events; each event is also written to the runtime's journal.
class TFakeEventLog : public TEventLogApi {
 public:
  explicit TFakeEventLog(std::function<void(const std::string&)> journal) : Journal(std::move(journal)) {}
  uintptr_t RegisterSource(const std::string& sourceName) override;
  bool Report(uintptr_t source, uint16_t eventType, uint16_t category, uint32_t eventId,
              const std::string& message) override;
  void DeregisterSource(uintptr_t source) override;

  std::vector<TRecordedEvent> Events();
  std::vector<std::string> Sources();  // every registration, in order

 private:
  std::function<void(const std::string&)> Journal;
  std::mutex Lock;
  std::vector<std::string> Registered;
  std::vector<TRecordedEvent> Recorded;
};

class TFakeServiceRuntime : public TServiceRuntimeApi {
 public:
  static constexpr uint32_t kErrorInvalidThreadId = 1444;  // ERROR_INVALID_THREAD_ID
  static constexpr uintptr_t kStatusHandle = 0x5C0;

  TFakeServiceRuntime();
  // Cancels threads that were never resumed and joins every thread.
  ~TFakeServiceRuntime() override;

  // Failure injection: a nonzero code makes the call fail with that last error.
  // Set them before the run starts.
  uint32_t FailRegistration = 0;
  uint32_t FailReportStatus = 0;
  uint32_t FailSpawn = 0;
  uint32_t FailResume = 0;
  // Called at every status report, on the reporting thread; its text is kept
  // beside the report (for instance whether the timer was armed at that moment).
  std::function<std::string()> ReportProbe;

  TEventLogApi& EventLog() override { return Log; }
  uintptr_t RegisterControlEntry(const std::string& serviceName, TServiceControlEntry entry) override;
  bool ReportStatus(uintptr_t statusHandle, const TServiceStatusRecord& status) override;
  uintptr_t SpawnThread(TThreadRoutine& routine, uint32_t creationFlags, uint32_t& threadId) override;
  uint32_t ResumeSuspended(uintptr_t thread) override;
  uint32_t WaitObject(uintptr_t handle, uint32_t milliseconds) override;
  void CloseThreadHandle(uintptr_t thread) override;
  bool PostToThread(uint32_t threadId, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool PeekQueue(TThreadMessage& message, uintptr_t window, uint32_t filterMin, uint32_t filterMax,
                 uint32_t removeFlags) override;
  int32_t WaitQueue(TThreadMessage& message, uintptr_t window, uint32_t filterMin, uint32_t filterMax) override;
  void DispatchQueued(const TThreadMessage& message) override;
  uint32_t LastError() override;

  // What the control dispatcher does with a request: calls the registered entry
  // on the calling thread. Does nothing before a registration.
  void Control(uint32_t controlCode);

  // Blocks until `count` status reports have been made, or a few seconds have
  // passed; false on time-out.
  bool WaitForReports(size_t count);
  // Likewise until a report of `currentState` has been made.
  bool WaitForReport(uint32_t currentState);
  // Likewise until `message` has been handed to DispatchQueued `count` times.
  bool WaitForDispatched(uint32_t message, size_t count);

  std::vector<TServiceStatusRecord> Reports();
  std::vector<uint32_t> ReportThreads();  // the caller's thread ID of each report
  std::vector<std::string> ReportNotes();  // ReportProbe's text at each report
  std::vector<TRecordedEvent> Events() { return Log.Events(); }
  // Every call with its arguments, e.g. "spawn 4", "peek 0 1024 1024 0", "post 3 1025 1 0".
  std::vector<std::string> Calls();
  // The calls made on one thread, in order.
  std::vector<std::string> CallsOn(uint32_t threadId);
  // Reports and events in one order: "report <state> <checkpoint>", "event <message>".
  std::vector<std::string> Journal();
  std::vector<uint32_t> Dispatched();  // the message numbers handed to DispatchQueued
  TServiceControlEntry RegisteredEntry();
  std::string RegisteredName();
  uint32_t LastSpawnedId();
  // The calling thread's ID in the fake's numbering.
  uint32_t CurrentThreadId();

 private:
  struct TFakeThread {
    uint32_t Id = 0;
    bool Resumed = false;
    bool Cancelled = false;
    bool Ended = false;
    std::thread Runner;
  };

  // All with Lock held.
  uint32_t CurrentIdLocked();
  void RecordLocked(std::string call);
  TFakeThread* FindLocked(uintptr_t handle);
  std::deque<TThreadMessage>& QueueOfCallerLocked();
  static bool InFilter(const TThreadMessage& message, uint32_t filterMin, uint32_t filterMax);
  void AppendJournal(const std::string& entry);

  std::mutex Lock;
  std::condition_variable Changed;
  std::map<std::thread::id, uint32_t> ThreadIds;
  uint32_t NextThreadId = 1;
  std::vector<std::unique_ptr<TFakeThread>> Threads;  // handle = kThreadHandleBase + index
  std::map<uint32_t, std::deque<TThreadMessage>> Queues;
  std::vector<std::pair<uint32_t, std::string>> CallLog;
  std::vector<TServiceStatusRecord> StatusReports;
  std::vector<uint32_t> StatusThreads;
  std::vector<std::string> StatusNotes;
  std::mutex JournalLock;  // taken after Lock, never before it
  std::vector<std::string> JournalEntries;  // guarded by JournalLock
  std::vector<uint32_t> DispatchedMessages;
  TServiceControlEntry Entry = nullptr;
  std::string EntryName;
  uint32_t LastSpawned = 0;

  TFakeEventLog Log;
};
