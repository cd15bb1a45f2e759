#include "pack/stream_encoder.h"

#include <algorithm>
#include <deque>
#include <future>
#include <memory>
#include <vector>

namespace {

// The input read a segment at a time: the segment to encode next and the
// one after it, whose first bytes end the next one's window.
class SegmentReader {
 public:
  explicit SegmentReader(const StreamRead& read) : read_(read) {}

  // Reads the first two segments; false when the input cannot be read.
  bool Start() { return Fill(current_, currentBytes_) && Fill(next_, nextBytes_); }
  std::size_t currentBytes() const { return currentBytes_; }
  std::size_t nextBytes() const { return nextBytes_; }
  const std::uint8_t* current() const { return current_.data(); }
  const std::uint8_t* next() const { return next_.data(); }

  // Moves on by one segment; false when the input cannot be read.
  bool Advance() {
    current_.swap(next_);
    currentBytes_ = nextBytes_;
    // A segment shorter than the rest was the input's last.
    if (currentBytes_ < kLzhSegmentBytes) {
      nextBytes_ = 0;
      return true;
    }
    return Fill(next_, nextBytes_);
  }

 private:
  bool Fill(std::vector<std::uint8_t>& buffer, std::size_t& bytes) {
    buffer.resize(kLzhSegmentBytes);
    bytes = 0;
    if (ended_) return true;
    if (!read_(buffer.data(), buffer.size(), bytes)) return false;
    ended_ = bytes < buffer.size();
    return true;
  }

  const StreamRead& read_;
  std::vector<std::uint8_t> current_, next_;
  std::size_t currentBytes_ = 0, nextBytes_ = 0;
  bool ended_ = false;
};

}  // namespace

StreamResult LzhEncodeStream(const LzhMethod& method, WorkerPool& pool, const StreamRead& read,
                             const StreamWrite& write) {
  SegmentReader input(read);
  if (!input.Start()) return StreamResult::ReadFailed;
  std::vector<std::uint8_t> out;
  if (input.currentBytes() + input.nextBytes() < kLzhSegmentedFromBytes) {
    // Small enough to be encoded in one piece.
    std::vector<std::uint8_t> whole(input.current(), input.current() + input.currentBytes());
    whole.insert(whole.end(), input.next(), input.next() + input.nextBytes());
    out = LzhEncode(method, whole.data(), whole.size());
    return out.empty() || write(out.data(), out.size()) ? StreamResult::Done : StreamResult::WriteFailed;
  }

  const std::size_t inFlight = kSegmentsInFlightPerThread * pool.parallel();
  std::deque<std::future<LzhBits>> segments;
  LzhBitJoiner joiner;
  auto writeOldest = [&] {
    const LzhBits bits = segments.front().get();
    segments.pop_front();
    out.clear();
    joiner.Append(bits, out);
    return write(out.data(), out.size());
  };
  std::vector<std::uint8_t> history;  // the end of the segment before
  while (input.currentBytes() > 0) {
    auto window = std::make_shared<std::vector<std::uint8_t>>();
    const std::size_t lookahead = std::min(input.nextBytes(), kLzhSegmentLookaheadBytes);
    window->reserve(history.size() + input.currentBytes() + lookahead);
    window->assign(history.begin(), history.end());
    window->insert(window->end(), input.current(), input.current() + input.currentBytes());
    window->insert(window->end(), input.next(), input.next() + lookahead);
    const std::size_t begin = history.size(), end = begin + input.currentBytes();
    if (segments.size() == inFlight && !writeOldest()) return StreamResult::WriteFailed;
    segments.push_back(pool.Submit<LzhBits>([&method, window, begin, end] {
      return LzhEncodeSegment(method, window->data(), window->size(), begin, end);
    }));
    const std::size_t kept = std::min<std::size_t>(method.dictionaryBytes, input.currentBytes());
    history.assign(input.current() + input.currentBytes() - kept, input.current() + input.currentBytes());
    if (!input.Advance()) return StreamResult::ReadFailed;
  }
  while (!segments.empty())
    if (!writeOldest()) return StreamResult::WriteFailed;
  out.clear();
  joiner.Finish(out);
  return out.empty() || write(out.data(), out.size()) ? StreamResult::Done : StreamResult::WriteFailed;
}
