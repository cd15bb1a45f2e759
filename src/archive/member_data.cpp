#include "archive/member_data.h"

#include "archive/engine.h"
#include "archive/output_sink.h"

namespace {
void DecodeBody(Engine& e) {
  if (e.header.method == lzh::kMethodStored)
    CopyStoredMember(e, e.header.originalSize);
  else
    DecodeMember(e);
}
}  // namespace

EngineResult DecodeMemberData(Engine& e) {
  e.crc = 0;
  // No byte of an earlier member is handed out for this one.
  ResetArchiveInput(e);
  return RunGuarded(e, DecodeBody);
}
