// The trim of large logs beside a plain sequential read of the same file, with
// the memory each needs. The trim streams the file, so its time should stay
// close to the read's and its peak memory should not grow with the file.
// The logs are written to a fresh folder in /tmp and removed afterwards.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "winsys/configuration.h"
#include "diag/diagnostic_log.h"
#include "tests/fakes/fake_clock.h"

namespace {

long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
  return -1;
}

// Resets the process's peak resident size to its current one.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void WriteLog(const std::string& path, size_t size) {
  std::string block;
  for (int i = 0; block.size() < (1u << 20); ++i)
    block += "[ 06.12.2026 11:06:27 ] Time control check: day=6 position[22]=1 rule=" + std::to_string(i) + "\r\n";
  FILE* f = std::fopen(path.c_str(), "wb");
  for (size_t written = 0; written < size; written += block.size())
    std::fwrite(block.data(), 1, std::min(block.size(), size - written), f);
  // A real log was written over days and sits clean on disk: without this the
  // trim would wait for the writeback of the pages it frees.
  std::fflush(f);
  fsync(fileno(f));
  std::fclose(f);
}

// What the trim cannot avoid: reading every byte of the file once.
size_t ReadSequentially(const std::string& path) {
  std::vector<char> buffer(TDiagnosticLog::kTrimChunkSize);
  FILE* f = std::fopen(path.c_str(), "rb");
  size_t total = 0, got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) total += got;
  std::fclose(f);
  return total;
}

struct TMeasured {
  double Seconds = 0;
  long PeakGrowthKiB = 0;
};

template <class Operation>
TMeasured Measure(Operation operation) {
  ResetPeak();
  const long before = StatusKiB("VmRSS");
  const auto start = std::chrono::steady_clock::now();
  operation();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return TMeasured{took.count(), StatusKiB("VmHWM") - before};
}

void BM_TrimBesideSequentialRead(benchmark::State& state) {
  const size_t size = static_cast<size_t>(state.range(0)) << 20;
  char folder[] = "/tmp/diag-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  TConfiguration engine;
  engine.AppPath = std::string(folder) + "/";
  const std::string path = engine.AppPath + kLogFileName;
  TFakeClock clock;
  TDiagnosticLog log(PlatformLogFiles(), clock);

  double trimSeconds = 0, readSeconds = 0;
  long trimPeak = 0, readPeak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    WriteLog(path, size);
    const TMeasured read = Measure([&] { benchmark::DoNotOptimize(ReadSequentially(path)); });
    state.ResumeTiming();
    const TMeasured trim = Measure([&] { log.TrimLogFile(engine.DebugLevel, engine.AppPath); });
    trimSeconds += trim.Seconds;
    readSeconds += read.Seconds;
    trimPeak = std::max(trimPeak, trim.PeakGrowthKiB);
    readPeak = std::max(readPeak, read.PeakGrowthKiB);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["read_ms"] = readSeconds / n * 1000;
  state.counters["trim_ms"] = trimSeconds / n * 1000;
  state.counters["trim/read"] = trimSeconds / readSeconds;
  state.counters["trim_peak_KiB"] = static_cast<double>(trimPeak);
  state.counters["read_peak_KiB"] = static_cast<double>(readPeak);
  state.SetBytesProcessed(static_cast<int64_t>(size) * state.iterations());
  std::remove(path.c_str());
  rmdir(folder);
}

BENCHMARK(BM_TrimBesideSequentialRead)->Arg(16)->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrimBesideSequentialRead)->Arg(256)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
