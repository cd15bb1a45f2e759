#include "pack/archive_walk.h"

bool ArchiveWalk::Open() {
  std::string error;
  return reader_.Open(file_, error) || Fail(error);
}

bool ArchiveWalk::Next(ArchiveMember& member) {
  std::string error;
  switch (reader_.Next(member, error)) {
    case ReadStatus::Member:
      ++count_;
      memberName_ = MemberNameForDisplay(member);
      return true;
    case ReadStatus::End:
      return false;
    case ReadStatus::Failed:
      break;
  }
  return Fail(HeaderFailure(count_ + 1, error));
}

bool ArchiveWalk::Decode(const MemberSink& sink) {
  std::string error;
  return reader_.Decode(sink, error) || FailMember(error);
}

bool ArchiveWalk::FailMember(const std::string& what) {
  return Fail("member " + memberName_ + ": " + what);
}

bool ArchiveWalk::Fail(const std::string& what) {
  failed_ = true;
  return line_.Fail(Quoted(file_) + ": " + what);
}
