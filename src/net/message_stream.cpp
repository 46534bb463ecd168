#include "net/message_stream.h"

#include <stdexcept>

#include "net/net_message.h"

CNetMessageStream::CNetMessageStream() : writer_(&out_) {}

void CNetMessageStream::Feed(const void* data, size_t size) {
  // Drop what was decoded once it is most of the buffer, so each byte moves about once.
  if (start_ > 0 && start_ >= in_.size() / 2) {
    in_.erase(0, start_);
    start_ = 0;
  }
  in_.append(static_cast<const char*>(data), size);
}

bool CNetMessageStream::Next(CNetMessage* out) {
  const auto* message = reinterpret_cast<const uint8_t*>(in_.data()) + start_;
  size_t available = in_.size() - start_;
  try {
    if (!scanner_.Scan(message, available)) return false;
  } catch (const ArchiveError& e) {
    throw ArchiveError(consumed_ + e.offset(), e.cause());
  }
  size_t size = scanner_.MessageSize();

  // The whole message is there; decode it as one transaction over the record numbering.
  reader_.SetInput(message, size);
  ArchiveReader::Mark mark = reader_.GetMark();
  try {
    out->Serialize(reader_);
    if (!reader_.AtEnd()) reader_.Fail("message decoded shorter than it is");
  } catch (const ArchiveError& e) {
    reader_.Rollback(mark);
    // The scanner found the message whole, so running out of bytes here is damage too.
    throw ArchiveError(consumed_ + e.offset(), e.cause());
  }
  scanner_.NextMessage();
  start_ += size;
  consumed_ += size;
  if (start_ == in_.size()) {
    in_.clear();
    start_ = 0;
  }
  return true;
}

void CNetMessageStream::Encode(const CNetMessage& message, std::string* out) {
  if (!message.CanEncode()) throw std::invalid_argument("record element without a record");
  out_.clear();
  message.Serialize(writer_);
  out->append(out_);
}

void CNetMessageStream::ResetTables() {
  scanner_.ResetTables();
  reader_.Reset();
  writer_.Reset();
}
