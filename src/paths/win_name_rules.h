// The parts of the name rules that ask the destination volume.
#pragma once

#include "paths/name_rules.h"

// LongNames when the volume at root reports a maximum component length of
// exactly 255 or cannot be asked; ShortNames otherwise.
NameRules SelectNameRules(const char* root);

// The longest path a member can have: the destination folder, a separator
// and the member's joined name.
constexpr unsigned kMemberPathBytes = 256 + 288;

// Creates every directory along path up to its last '/', level by level; the
// text after the last '/' is the file's own name and is not created. Levels
// that an earlier call since ForgetPathDirectories made (the folder of the
// path it was given and that folder's parents) are not asked for again, so a
// pass over many files in a few folders makes each folder once. Failures
// (most often a directory that exists) are passed over: the file's creation
// that follows reports what matters. Only the first kMemberPathBytes - 1
// bytes of a longer path are considered. Returns the length of path's folder
// up to and including its last '/', 0 when it has none.
unsigned CreatePathDirectories(const char* path);
void ForgetPathDirectories();
