// Times the Test and the Extract pass of the stub on an archive file (a plain
// .lzh, read from offset 0), alternating runs, and prints the medians.
// Usage: pass_bench ARCHIVE DESTINATION_FOLDER RUNS
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/win_extraction_pass.h"
#include "app/win_startup.h"
#include "common/run_state.h"
#include "common/sfx_config.h"
#include "paths/path_text.h"

namespace {
double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: pass_bench ARCHIVE DESTINATION_FOLDER RUNS\n");
    return 2;
  }
  AppInstance = GetModuleHandleA(nullptr);
  lstrcpynA(ExecutablePath, argv[1], sizeof ExecutablePath);
  lstrcpyA(Config.title, "pass_bench");
  const int runs = std::atoi(argv[3]);
  std::vector<double> test, extract;
  for (int run = 0; run < runs; ++run) {
    // Each Extract pass writes into a folder of its own, so no run overwrites.
    const std::string folder = std::string(argv[2]) + "\\run" + std::to_string(run);
    lstrcpynA(DestinationFolder, folder.c_str(), sizeof DestinationFolder);
    ProgressTotals.total = 0;
    double start = Now();
    const int tested = RunExtractionPass(nullptr, ExtractMode::Test);
    test.push_back(Now() - start);
    start = Now();
    const int extracted = RunExtractionPass(nullptr, ExtractMode::Extract);
    extract.push_back(Now() - start);
    if (!tested || !extracted) {
      std::fprintf(stderr, "pass failed (test %d, extract %d)\n", tested, extracted);
      return 1;
    }
  }
  const double mb = static_cast<double>(ProgressTotals.total) / 1e6;
  std::printf("original bytes %llu, runs %d\n", static_cast<unsigned long long>(ProgressTotals.total), runs);
  std::printf("Test pass    median %8.1f ms\n", Median(test));
  std::printf("Extract pass median %8.1f ms  (%.1f MB/s written)\n", Median(extract),
              mb / (Median(extract) / 1000.0));
  return 0;
}
