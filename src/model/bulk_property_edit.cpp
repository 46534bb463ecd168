#include "model/bulk_property_edit.h"

#include "model/id_map.h"
#include "model/record_lookup.h"
#include "model/records.h"
#include "model/value_types.h"

CBulkPropertyEdit::CBulkPropertyEdit(const std::vector<const CPropertyItem*>& properties) {
  for (const CPropertyItem* p : properties) {
    if (!p) continue;
    uint8_t bits = p->flags & ((1u << kFlagCount) - 1);
    if (count_++ == 0) {
      type_ = p->typeCode;
      value_ = p->valueText;
      flags_ = bits;
      continue;
    }
    typeMixed_ |= p->typeCode != type_;
    valueMixed_ |= p->valueText != value_;
    flagMixed_ |= uint8_t(bits ^ flags_);
  }
  if (typeMixed_) type_ = 0;
  if (valueMixed_) value_.clear();
  flags_ &= uint8_t(~flagMixed_);
}

void CBulkPropertyEdit::SetType(uint8_t type) {
  typeChanged_ = true;
  newType_ = type;
}

void CBulkPropertyEdit::SetValue(std::string value) {
  valueChanged_ = true;
  newValue_ = std::move(value);
}

void CBulkPropertyEdit::SetFlag(int bit, bool on) {
  if (bit < 0 || bit >= kFlagCount) return;
  flagChanged_ |= uint8_t(1u << bit);
  newFlags_ = on ? uint8_t(newFlags_ | 1u << bit) : uint8_t(newFlags_ & ~(1u << bit));
}

bool CBulkPropertyEdit::ApplyTo(const CIdMap& ids, CPropertyItem& p) const {
  CPropertyItem* oldTarget = LinkTargetOf(ids, &p);
  bool changed = ApplyFieldsTo(ids, p);
  CPropertyItem* newTarget = LinkTargetOf(ids, &p);
  if (oldTarget != newTarget) {
    if (oldTarget) oldTarget->RemoveIncomingLink(p.id);
    if (newTarget) newTarget->AddIncomingLink(p.id);
  }
  return changed;
}

bool CBulkPropertyEdit::ApplyFieldsTo(const CIdMap& ids, CPropertyItem& p) const {
  const uint8_t oldType = p.typeCode;
  const std::string oldValue = p.valueText;
  const uint8_t oldFlags = p.flags;
  const uint32_t oldRaw = p.GetRawValue();
  if (valueChanged_) {
    p.valueText = newValue_;
    p.SetNumericValue(AtoF(p.valueText));
  }
  if (typeChanged_ &&
      (newType_ != kTypeLinkTo || ids.Lookup(uint32_t(AtoI(p.valueText))) != nullptr))
    p.typeCode = newType_;
  for (int bit = 0; bit < kFlagCount; ++bit) {
    if (!FlagChanged(bit)) continue;
    if (newFlags_ >> bit & 1)
      p.SetFlag(bit);
    else
      p.ClearFlag(bit);
  }
  return p.typeCode != oldType || p.valueText != oldValue || p.flags != oldFlags ||
         p.GetRawValue() != oldRaw;
}
