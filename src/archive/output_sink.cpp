#include "archive/output_sink.h"

#include "archive/crc16.h"
#include "archive/engine.h"

static_assert(kMaxOutputPiece == kWindowBytes && kMaxOutputPiece <= sizeof Engine::window,
              "decoded pieces fit the output, and the stored copy moves through the window");

bool HandOverPiece(Engine& e, const void* piece, unsigned long length, std::int64_t memberBytes) {
  const SinkReply reply = e.host.writeOutput(e.host.context, piece, length);
  if (reply == SinkReply::Failed) FailMember(e, EngineResult::WriteError);
  e.crc = Crc16(e.crc, piece, length);
  if (reply == SinkReply::Enough) return false;
  if (!e.host.progress(e.host.context, static_cast<std::uint64_t>(memberBytes)))
    FailMember(e, EngineResult::Cancelled);
  return true;
}

void CopyStoredMember(Engine& e, std::int64_t size) {
  std::int64_t copied = 0;
  while (copied < size) {
    const std::int64_t left = size - copied;
    const unsigned long chunk =
        left < static_cast<std::int64_t>(kMaxOutputPiece) ? static_cast<unsigned long>(left) : kMaxOutputPiece;
    if (e.host.readArchive(e.host.context, e.window, chunk) != static_cast<long>(chunk))
      FailMember(e, EngineResult::ReadError);
    copied += static_cast<std::int64_t>(chunk);
    if (!HandOverPiece(e, e.window, chunk, copied)) return;
  }
}
