// The data of the current member, decoded the one way every caller shares:
// the extraction pass, the packer's reader, the tests and the fuzz targets.
#pragma once

#include "archive/engine_host.h"

struct Engine;

// Decodes the data of e.header's member from the archive's current position
// to the sink: the stored copy for -lh0-, the window decoder for -lh4- to
// -lh7- (directory entries have no data and do not come here). Ok when it ran
// to the end, or to where the sink had enough, e.crc then holding the CRC of
// every byte the sink took; else how it failed (ReadError, WriteError,
// Damaged, Cancelled), nothing shown.
EngineResult DecodeMemberData(Engine& e);
