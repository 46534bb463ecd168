#include "net/monitor/property_number.h"

#include <bit>

#include "model/records.h"
#include "model/value_types.h"

bool IsTrendableType(int typeCode) {
  return typeCode >= kTypeBin && typeCode <= kTypeDouble;
}

std::optional<double> PropertyNumber(const CPropertyItem& p) {
  uint32_t raw = p.GetRawValue();
  switch (p.typeCode) {
    case kTypeBin:
      return double(raw);
    case kTypeByte:
    case kTypeShort:
    case kTypeInt:
      return double(int32_t(raw));
    case kTypeFloat:
    case kTypeDouble:
      return double(std::bit_cast<float>(raw));
    default:
      return std::nullopt;
  }
}
