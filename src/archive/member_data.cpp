#include "archive/member_data.h"

#include "archive/archive_input.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/lzh_decoder.h"
#include "archive/member_header.h"
#include "archive/output_sink.h"

namespace {
void DecodeBody() {
  if (MemberHeader.method == lzh::kMethodStored)
    CopyStoredMember(MemberHeader.originalSize);
  else
    DecodeMember();
}
}  // namespace

bool DecodeMemberData() {
  crcValue = 0;
  // No byte of an earlier member is handed out for this one.
  ResetArchiveInput();
  return RunGuarded(DecodeBody);
}
