// Times the Test and the Extract pass of the stub on an archive file (a plain
// .lzh, read from offset 0) against the floor program, which writes the same
// files from memory (pass_floor.h), and against the Verify pass (the engine
// decoding and checking every member, writing nothing). The runs alternate in
// one process, so all see the same load, and each writes into a folder of its
// own.
// Last, what the writing thread's spin is weighed against (its length is
// justified in src/app/win_write_behind.cpp): the time a 64 KiB piece takes
// to decode, a wake through an event, a signal that wakes nobody, and a
// round of the spin.
// Usage: pass_bench ARCHIVE DESTINATION_FOLDER RUNS [--window]
//   --window: the passes report to a real main dialog (status line, progress
//   bar, queue drains), shown on the display Wine has.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/win_extraction_pass.h"
#include "win_sys_text.h"
#include "app/win_main_dialog.h"
#include "app/win_run.h"
#include "app/win_startup.h"
#include "pass_floor.h"
#include "ui/resource_ids.h"

namespace {
double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The process's processor time (user and kernel, every thread: the pass
// writes on a thread of its own), ms: what a run did itself, apart from
// waiting for the disk, the Wine server or other programs.
double ProcessCpu() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return static_cast<double>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
  };
  return ms(kernel) + ms(user);
}

struct Times {
  std::vector<double> v;
  std::vector<double> cpu;
  double Median() const {
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    return s[s.size() / 2];
  }
  double Min() const { return *std::min_element(v.begin(), v.end()); }
  double Max() const { return *std::max_element(v.begin(), v.end()); }
};

// Two threads hand a turn back and forth through two auto-reset events:
// half a round trip is one wake, as the writing thread and the pass wake
// each other. Then an event set with nobody waiting, and the spin's round
// (a look at an atomic count and a pause), each in microseconds.
struct WakeCosts {
  double wakeUs, signalUs, spinRoundUs;
};

constexpr int kTurns = 2000;
HANDLE ping, pong;

DWORD WINAPI Echo(void*) {
  for (int i = 0; i < kTurns; ++i) {
    WaitForSingleObject(ping, INFINITE);
    SetEvent(pong);
  }
  return 0;
}

WakeCosts MeasureWakeCosts() {
  ping = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  pong = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, Echo, nullptr, 0, nullptr);
  WakeCosts costs;
  double start = Now();
  for (int i = 0; i < kTurns; ++i) {
    SetEvent(ping);
    WaitForSingleObject(pong, INFINITE);
  }
  costs.wakeUs = (Now() - start) * 1000 / (2 * kTurns);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  start = Now();
  for (int i = 0; i < kTurns; ++i) SetEvent(ping);
  costs.signalUs = (Now() - start) * 1000 / kTurns;
  CloseHandle(ping);
  CloseHandle(pong);
  constexpr int kRounds = 1000000;
  std::atomic<std::uint32_t> count{0};
  start = Now();
  for (int i = 0; i < kRounds && count.load(std::memory_order_acquire) == 0; ++i) YieldProcessor();
  costs.spinRoundUs = (Now() - start) * 1000 / kRounds;
  return costs;
}

void PrintTimes(const char* what, const Times& t) {
  std::vector<double> cpu = t.cpu;
  std::sort(cpu.begin(), cpu.end());
  std::printf("%-13s median %9.1f ms  (min %.1f, max %.1f), processor %.1f ms\n", what, t.Median(), t.Min(),
              t.Max(), cpu[cpu.size() / 2]);
}
}  // namespace

int main(int argc, char** argv) {
  const bool window = argc == 5 && std::strcmp(argv[4], "--window") == 0;
  if (argc != 4 && !window) {
    std::fprintf(stderr, "usage: pass_bench ARCHIVE DESTINATION_FOLDER RUNS [--window]\n");
    return 2;
  }
  AppInstance = GetModuleHandleA(nullptr);
  // The archive is read from offset 0; every file is new in its folder.
  static Run run;
  CopyTextBounded(run.executablePath, ToSys(argv[1]).c_str(), kPathBytes);
  // The passes read the archive through the run's one handle, as the stub
  // reads its own file.
  run.ownFile = SYS_API(CreateFile)(run.executablePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (run.ownFile == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  CopyTextBounded(run.settings.title, SYS_TEXT("pass_bench"), UnitsOf(run.settings.title));
  const std::string destination = argv[2];
  const int runs = std::atoi(argv[3]);
  if (runs < 1) return 2;

  // The floor's files come from the engine itself.
  std::vector<FloorFile> files;
  if (!LoadFloorFiles(argv[1], 0, files)) return 1;
  HWND dialog = nullptr;
  if (window) {
    InitCommonControlsFromSystem();
    dialog = SYS_API(CreateDialogParam)(AppInstance, DialogTemplate(IDD_MAIN), nullptr, MainDialogProc,
                                        reinterpret_cast<LPARAM>(&run));
    if (!dialog) {
      std::fprintf(stderr, "the main dialog cannot be created (no display?)\n");
      return 1;
    }
    ShowWindow(dialog, SW_SHOW);
    run.extracting = true;
  }

  Times test, extract, floor, verify;
  for (int round = 0; round < runs; ++round) {
    const std::string suffix = std::to_string(round);
    // The order turns with every run, so none of the three always meets a
    // cache another has warmed.
    for (int turn = 0; turn < 3; ++turn) {
      const int which = (turn + round) % 3;
      if (which == 0) {
        const std::string folder = destination + "\\pass" + suffix;
        CopyTextBounded(run.destinationFolder, ToSys(folder).c_str(), kDestinationFolderBytes);
        run.progressTotal = 0;
        double start = Now(), cpu = ProcessCpu();
        const int tested = RunExtractionPass(run, dialog, ExtractMode::Test);
        test.v.push_back(Now() - start);
        test.cpu.push_back(ProcessCpu() - cpu);
        start = Now();
        cpu = ProcessCpu();
        const int extracted = tested && RunExtractionPass(run, dialog, ExtractMode::Extract);
        extract.v.push_back(Now() - start);
        extract.cpu.push_back(ProcessCpu() - cpu);
        if (!extracted) {
          std::fprintf(stderr, "pass failed (test %d, extract %d)\n", tested, extracted);
          return 1;
        }
      } else if (which == 1) {
        const double start = Now(), cpu = ProcessCpu();
        const bool written = WriteFloorFiles(files, destination + "\\floor" + suffix);
        floor.v.push_back(Now() - start);
        floor.cpu.push_back(ProcessCpu() - cpu);
        if (!written) {
          std::fprintf(stderr, "floor failed (error %lu)\n", GetLastError());
          return 1;
        }
      } else {
        const double start = Now(), cpu = ProcessCpu();
        const int verified = RunExtractionPass(run, dialog, ExtractMode::Verify);
        verify.v.push_back(Now() - start);
        verify.cpu.push_back(ProcessCpu() - cpu);
        if (!verified) {
          std::fprintf(stderr, "verify pass failed\n");
          return 1;
        }
      }
    }
  }
  if (dialog) DestroyWindow(dialog);

  std::size_t written = 0;
  for (const FloorFile& f : files) written += f.isFile;
  std::printf("original bytes %llu, files %zu, runs %d%s\n",
              static_cast<unsigned long long>(run.progressTotal), written, runs,
              window ? ", passes report to the main dialog" : "");
  PrintTimes("Test pass", test);
  PrintTimes("Extract pass", extract);
  PrintTimes("floor", floor);
  PrintTimes("Verify pass", verify);
  // Other programs only ever add time: the minima show each one uncontended.
  std::printf("Extract pass / floor: %.2f (medians), %.2f (minima)\n", extract.Median() / floor.Median(),
              extract.Min() / floor.Min());
  // The decoder's work overlaps the writes (the 64-bit stub writes on a
  // thread of its own): this is what of it, and of the pass's own work, is
  // left over.
  std::printf("Extract pass - floor: %.1f ms (medians), %.1f ms (minima)\n", extract.Median() - floor.Median(),
              extract.Min() - floor.Min());
  const WakeCosts wake = MeasureWakeCosts();
  const double pieces = static_cast<double>(run.progressTotal) / 65536;
  std::printf("writing thread: the Verify pass per 64 KiB decoded %.0f us (minimum); a wake %.1f us, "
              "a signal to nobody %.1f us, a spin round %.3f us\n",
              verify.Min() * 1000 / pieces, wake.wakeUs, wake.signalUs, wake.spinRoundUs);
  return 0;
}
