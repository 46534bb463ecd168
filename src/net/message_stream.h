// Both directions of one connection's message stream, without the socket: bytes that arrive
// are collected and a message is decoded only once it is whole; messages that leave are
// encoded with the numbering of records that runs on for the connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/archive.h"
#include "net/message_scanner.h"

class CNetMessage;

class CNetMessageStream {
 public:
  CNetMessageStream();
  CNetMessageStream(const CNetMessageStream&) = delete;
  CNetMessageStream& operator=(const CNetMessageStream&) = delete;

  // Adds bytes that arrived.
  void Feed(const void* data, size_t size);
  // Decodes the next whole message into `out` (a fresh message); false when its bytes have
  // not all arrived yet. Throws ArchiveError, with the offset in the stream, for bytes that
  // are no message or break a bound; the stream is then of no further use.
  bool Next(CNetMessage* out);
  // Bytes received and not yet decoded.
  size_t Buffered() const { return in_.size() - start_; }
  // Bytes of the stream decoded so far.
  uint64_t Consumed() const { return consumed_; }

  // Appends the message's bytes to `out`. Throws std::invalid_argument, writing nothing and
  // numbering nothing, when a record element has no record.
  void Encode(const CNetMessage& message, std::string* out);

  // Starts the numbering of classes and objects afresh in both directions (after a base
  // message). Bytes already received stay.
  void ResetTables();

 private:
  std::string in_;
  size_t start_ = 0;
  uint64_t consumed_ = 0;
  CMessageScanner scanner_;
  ArchiveReader reader_;
  std::string out_;
  ArchiveWriter writer_;
};
