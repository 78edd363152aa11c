#pragma once
// The file a recording double of tests/doubles appends its calls to: named by
// an environment variable the double reads, private to this test process,
// empty at the start and removed at the end.
#include <process.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

class TDoubleLog {
 public:
  // variable: e.g. "NF_NETAPI32_LOG"; stem: the start of the file's name.
  TDoubleLog(const std::string& variable, const std::string& stem)
      : Variable(variable), Path(stem + "_" + std::to_string(_getpid()) + ".log") {
    std::remove(Path.c_str());
    _putenv((Variable + "=" + Path).c_str());
  }
  ~TDoubleLog() {
    std::remove(Path.c_str());
    _putenv((Variable + "=").c_str());
  }
  TDoubleLog(const TDoubleLog&) = delete;
  TDoubleLog& operator=(const TDoubleLog&) = delete;

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::ifstream file(Path);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

 private:
  std::string Variable;
  std::string Path;
};
