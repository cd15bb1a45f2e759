// The data of the current member, decoded the one way every caller shares:
// the extraction pass, the packer's reader, the tests and the fuzz targets.
#pragma once

// Decodes the data of MemberHeader's member from the archive's current
// position to the output sink: the stored copy for -lh0-, the window decoder
// for -lh4- to -lh7- (directory entries have no data and do not come here).
// True when it ran to the end, crcValue then holding the CRC of every byte
// handed to the sink; false when ExtractAbort ended it, with its message
// reported and RunState.aborted set.
bool DecodeMemberData();
