#include "archive/output_sink.h"

#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/lzh_decoder.h"
#include "common/run_state.h"

std::uint8_t probeTextCaptured;

static_assert(kProbeTextMaxBytes + 1 == kGeneralTextBytes, "the probe text fills the general text");
static_assert(kMaxOutputPiece == kWindowBytes && kMaxOutputPiece <= sizeof window,
              "decoded pieces fit the output, and the stored copy moves through the window");

void WriteOutput(const void* buffer, unsigned long length) {
  if (OutputIsProbe) {
    // The text ends at the first zero byte, at the piece's end or at the
    // buffer's capacity, whichever comes first.
    const char* text = static_cast<const char*>(buffer);
    unsigned long n = 0;
    while (n < length && n < kProbeTextMaxBytes && text[n]) {
      GeneralText[n] = text[n];
      ++n;
    }
    GeneralText[n] = '\0';
    probeTextCaptured = 1;
    // Nothing after the first piece is shown: decoding the rest of a notice
    // (its header may claim gigabytes) would only keep the user waiting.
    FinishDecodingEarly();
  }
  if (!Host.writeOutput(buffer, length)) AbortWithMessage(kMsgWriteError, false);
  UpdateCrc(buffer, static_cast<long>(length));
}

void CopyStoredMember(std::int64_t size) {
  crcValue = 0;
  while (size > 0) {
    const unsigned long chunk =
        size < static_cast<std::int64_t>(kMaxOutputPiece) ? static_cast<unsigned long>(size) : kMaxOutputPiece;
    if (Host.readArchive(window, chunk) != static_cast<long>(chunk)) AbortWithMessage(kMsgReadError, true);
    WriteOutput(window, chunk);
    if (!OutputIsProbe) {
      ProgressTotals.done += chunk;
      ReportProgress(ProgressTotals.done, ProgressTotals.total);
    }
    size -= static_cast<std::int64_t>(chunk);
  }
}

unsigned ProgressPercent(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return 0;
  // The quotient by at most 100 subtractions: a 64-bit division would be a
  // library routine on i686, with unwind tables of its own.
  std::uint64_t rest = done * 100;
  unsigned q = 0;
  while (q < 100 && rest >= total) {
    rest -= total;
    ++q;
  }
  return q;
}

void ReportProgress(std::uint64_t done, std::uint64_t total) {
  Host.progress(ProgressPercent(done, total));
  if (RunState.cancelRequested == 1) ExtractAbort();
}
