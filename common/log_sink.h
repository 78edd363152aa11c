#pragma once
#include <string>

// Where the subsystems send their diagnostic messages. The level test is the
// caller's: Log writes whatever it is given.
class TLogSink {
 public:
  virtual ~TLogSink() = default;
  // Stamps the message and buffers it as one line.
  virtual void Log(const std::string& message) = 0;
  // Writes the buffered lines to the log file (nothing at level 0).
  virtual void FlushLog() = 0;
};
