#pragma once
#include <string>
#include <vector>

#include "common/log_sink.h"

// A log sink that keeps the bare messages (no timestamps) and counts flushes.
class TRecordingLog : public TLogSink {
 public:
  void Log(const std::string& message) override { Messages.push_back(message); }
  void FlushLog() override {
    ++Flushes;
    FlushedAt.push_back(Messages.size());
  }
  std::vector<std::string> Messages;
  int Flushes = 0;
  std::vector<size_t> FlushedAt;  // number of messages logged when each flush came
};
