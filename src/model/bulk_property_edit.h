// Editing several properties at once: which of the fields the form edits (type, value, the six
// option flags) they share and which differ, and applying only the fields the user changed to
// every one of them, so that what differed and was left alone stays as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CIdMap;
class CPropertyItem;

class CBulkPropertyEdit {
 public:
  static constexpr int kFlagCount = 6;

  explicit CBulkPropertyEdit(const std::vector<const CPropertyItem*>& properties);

  int Count() const { return count_; }
  // The common value of a field, or mixed when the properties differ in it.
  bool TypeMixed() const { return typeMixed_; }
  uint8_t Type() const { return type_; }
  bool ValueMixed() const { return valueMixed_; }
  const std::string& Value() const { return value_; }
  bool FlagMixed(int bit) const { return flagMixed_ >> bit & 1; }
  bool Flag(int bit) const { return flags_ >> bit & 1; }

  // What the user set; a field is changed once set, even back to the common value, so that
  // setting a mixed field makes it common.
  void SetType(uint8_t type);
  void SetValue(std::string value);
  void SetFlag(int bit, bool on);
  bool TypeChanged() const { return typeChanged_; }
  bool ValueChanged() const { return valueChanged_; }
  bool FlagChanged(int bit) const { return flagChanged_ >> bit & 1; }
  bool AnyChanged() const { return typeChanged_ || valueChanged_ || flagChanged_; }

  // Sets the changed fields on the property, keeping the incoming lists of the link targets
  // it leaves and reaches right. A LINK_TO type whose value names no record is not taken
  // (the property keeps its type), as "Применить" does for one property. True when the
  // property changed.
  bool ApplyTo(const CIdMap& ids, CPropertyItem& p) const;
  // The same fields set, the incoming lists left alone: for a property in no document that
  // shows what an edit would make of one that is.
  bool ApplyFieldsTo(const CIdMap& ids, CPropertyItem& p) const;

 private:
  int count_ = 0;
  bool typeMixed_ = false;
  bool valueMixed_ = false;
  uint8_t type_ = 0;
  std::string value_;
  uint8_t flags_ = 0;
  uint8_t flagMixed_ = 0;
  bool typeChanged_ = false;
  bool valueChanged_ = false;
  uint8_t flagChanged_ = 0;
  uint8_t newType_ = 0;
  std::string newValue_;
  uint8_t newFlags_ = 0;
};
