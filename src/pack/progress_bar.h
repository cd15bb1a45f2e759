// A one-line progress bar on standard error for the long commands (create,
// extract): bytes done of the total, percent and rate, redrawn in place.
// It is drawn only when standard error is a terminal and the command is not
// quiet, so logs and pipes never receive it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// The line for the given state, without the carriage return:
//   "[#########...............]  37%  12.3 MiB of 33.0 MiB  8.1 MiB/s"
// A total of 0 (not known) leaves the bar and the percent out.
std::string ProgressLine(std::uint64_t done, std::uint64_t total, double seconds);

// 1023 B, 1.0 KiB, 12.3 MiB, 4.00 GiB.
std::string ByteCount(std::uint64_t bytes);

class ProgressBar {
 public:
  // Drawn when standard error is a terminal and quiet is false.
  explicit ProgressBar(bool quiet);
  // A bar that was not finished (the command failed) leaves no line behind.
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  bool enabled() const { return enabled_; }
  void SetTotal(std::uint64_t total) { total_ = total; }
  // Redraws at most ten times a second, and always at the total.
  void Update(std::uint64_t done);
  // Prints a line of the command's own output (on standard output) above the bar.
  void PrintAbove(const std::string& line);
  // Draws the last state and ends the line; nothing when nothing was drawn.
  void Finish();
  // Erases the bar of this process, if one is on the terminal, so that a
  // message can take its line; the next update draws it again.
  static void ClearForMessage();

 private:
  void Draw();
  void Erase();

  bool enabled_;
  std::uint64_t total_ = 0, done_ = 0;
  std::chrono::steady_clock::time_point started_, drawn_;
  std::size_t width_ = 0;  // of the line on the terminal; 0 when none is there
  bool shown_ = false;
};
