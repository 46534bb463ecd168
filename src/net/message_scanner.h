// Finds where a message ends in bytes that arrive piecemeal, without building anything.
//
// The stream has no framing: only decoding a message tells where it ends. Decoding again
// from the start each time a few more bytes arrive costs time quadratic in the size of a
// large base. The scanner walks the same grammar with an explicit stack instead, so it stops
// where the bytes run out and resumes there when more come; the real decoder then runs once
// over the whole message. The scanner keeps its own copy of the class and object numbering,
// which runs on across messages as the decoder's does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CMessageScanner {
 public:
  // Walks on over the current message, whose bytes so far are data[0..size); they grow
  // between calls and may move in memory. True once the message is whole (MessageSize then
  // gives its length). Throws ArchiveError, never marked truncated, for bytes that cannot
  // belong to a message or that break a bound.
  bool Scan(const uint8_t* data, size_t size);
  size_t MessageSize() const { return pos_; }
  // Starts on the next message.
  void NextMessage();
  // Forgets the classes and objects numbered so far, as the decoder's Reset does.
  void ResetTables();

 private:
  enum Kind : uint8_t {
    kHeader,
    kElements,
    kElement,
    kString,
    kBuffer,
    kSkip,
    kRecord,
    kList,
    kRefs,
    kRef
  };
  struct Task {
    Kind kind;
    int8_t classId = 0;   // kRecord
    int32_t schema = -1;  // kRecord
    uint32_t count =
        0;  // kElements, kRefs: elements left; kSkip: bytes; kList, kRefs, kRef: kinds allowed
    uint32_t mask = 0;
  };

  // False when fewer than `n` bytes of the message follow; throws past the size bound.
  bool Have(size_t n) const;
  uint16_t Word(size_t at) const;
  uint32_t Dword(size_t at) const;
  [[noreturn]] void Fail(const char* cause) const;
  // One step of the walk; false (and nothing changed) when it needs more bytes.
  bool Step();
  bool StepString();
  bool StepRef(Task task);
  void PushRecordFields(int classId, int schema);

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool started_ = false;
  int openLists_ = 0;
  std::vector<Task> stack_;
  // Per number handed out: the index into classes_ for a class, -1 for an object.
  std::vector<int32_t> entries_;
  struct ClassEntry {
    int classId;
    uint16_t schema;
  };
  std::vector<ClassEntry> classes_;
};
