// The marks a comparison puts on the structure tree: every record of the document that differs
// in its kind's colour, with a tooltip naming the kinds; the nearest record the document holds
// above added ones is marked too.
#pragma once

#include <QCoreApplication>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ui/tree/record_model.h"

struct CompareResult;

class CDifferenceMarks : public IRecordMarks {
  Q_DECLARE_TR_FUNCTIONS(CCompareOwner)

 public:
  // The marks of a result; null leaves none.
  void Set(const CompareResult* result);
  QVariant MarkData(uint32_t id, int role) const override;

 private:
  void Mark(uint32_t id, uint8_t kinds);
  uint8_t MarksOf(uint32_t id) const;

  // The kinds each record is marked with, as KindBit()s. By registry key: ids_ names the
  // identifier each key's marks are for, and an identifier that shares its key with one marked
  // before is kept in more_.
  std::vector<uint32_t> ids_;
  std::vector<uint8_t> kinds_;
  std::unordered_map<uint32_t, uint8_t> more_;
};
