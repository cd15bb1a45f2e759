// What a run of the stub chooses and counts that start-up, the passes and the
// dialogs all name: the four options, the kinds of pass, the progress
// percentage. The state itself lives in the objects that own it (the run,
// the pass), not here.
#pragma once

#include <cstdint>

// The four options of a run: from the configuration block and the switches
// at start-up, then changed by the options dialog only.
struct RunOptions {
  bool restoreAttributes;       // give files the attributes stored in the archive
  bool overwriteWithoutAsking;  // replace existing files without the question
  bool suppressFolders;         // drop the members' stored folders
  bool autoRun;                 // start the configured command after extraction
};

// done * 100 / total in unsigned 64-bit arithmetic (the product wraps), at most
// 100; 0 when total is 0.
unsigned ProgressPercent(std::uint64_t done, std::uint64_t total);

// Verify decodes every member and checks its CRC, writing nothing (/T).
enum class ExtractMode : int { Extract = 0, Probe = 1, Test = 2, Verify = 3 };
