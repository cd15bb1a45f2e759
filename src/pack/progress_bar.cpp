#include "pack/progress_bar.h"

#include <cinttypes>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define QUORVEL_ISATTY _isatty
#define QUORVEL_FILENO _fileno
#else
#include <unistd.h>
#define QUORVEL_ISATTY isatty
#define QUORVEL_FILENO fileno
#endif

namespace {
constexpr int kBarCells = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// A rate over less time than this says nothing yet.
constexpr double kShortestRateSeconds = 0.001;
// The bar on the terminal, if any; one command draws one at a time.
ProgressBar* drawnBar = nullptr;
}  // namespace

std::string ByteCount(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%" PRIu64 " B", bytes);
    return text;
  }
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  std::snprintf(text, sizeof text, value < 10 ? "%.2f %s" : "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string ProgressLine(std::uint64_t done, std::uint64_t total, double seconds) {
  std::string line;
  if (total != 0) {
    const std::uint64_t shown = done < total ? done : total;
    const int percent = static_cast<int>(shown * 100 / total);
    const int filled = static_cast<int>(shown * kBarCells / total);
    char head[64];
    std::snprintf(head, sizeof head, "[%s%s] %3d%%  ",
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(kBarCells - filled), '.').c_str(), percent);
    line = head + ByteCount(done) + " of " + ByteCount(total);
  } else {
    line = ByteCount(done);
  }
  const double rate = static_cast<double>(done) / (seconds > kShortestRateSeconds ? seconds : kShortestRateSeconds);
  return line + "  " + ByteCount(static_cast<std::uint64_t>(rate)) + "/s";
}

ProgressBar::ProgressBar(bool quiet)
    : enabled_(!quiet && QUORVEL_ISATTY(QUORVEL_FILENO(stderr))),
      started_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
  Erase();
  if (drawnBar == this) drawnBar = nullptr;
}

void ProgressBar::ClearForMessage() {
  if (drawnBar) drawnBar->Erase();
}

void ProgressBar::Update(std::uint64_t done) {
  done_ = done;
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (shown_ && now - drawn_ < kRedrawInterval && !(total_ && done == total_)) return;
  Draw();
}

void ProgressBar::Draw() {
  drawn_ = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(drawn_ - started_).count();
  const std::string line = ProgressLine(done_, total_, seconds);
  // Blanks over what a longer line before left on the terminal.
  const std::size_t pad = width_ > line.size() ? width_ - line.size() : 0;
  std::fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
  std::fflush(stderr);
  width_ = line.size() + pad;
  shown_ = true;
  drawnBar = this;
}

void ProgressBar::Erase() {
  if (width_ == 0) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(width_), "");
  std::fflush(stderr);
  width_ = 0;
}

void ProgressBar::PrintAbove(const std::string& line) {
  if (enabled_) Erase();
  std::printf("%s\n", line.c_str());
  if (enabled_) {
    std::fflush(stdout);
    Draw();
  }
}

void ProgressBar::Finish() {
  if (!enabled_ || !shown_) return;
  Draw();
  std::fprintf(stderr, "\n");
  std::fflush(stderr);
  width_ = 0;
  enabled_ = false;
  drawnBar = nullptr;
}
