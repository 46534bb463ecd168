// What "Применить" does to a property, without the form: name, end-of-chain flag, value text and
// pattern, type with the incoming-link bookkeeping of both the old and the new target, flags.
#pragma once

#include <cstdint>
#include <string>

class CIdMap;
class CPropertyItem;

// The end of the LINK_TO chain that starts at `p`: the first property on it whose type is not
// LINK_TO. Null when a target is missing, is not a property, or the walk comes back to a
// property already passed.
CPropertyItem* ResolveChain(const CIdMap& ids, CPropertyItem* p);

struct PropertyEdit {
  std::string name;
  bool eoc = false;
  std::string valueText;
  int typeIndex = -1;    // entry of the type list; -1 keeps the type
  uint8_t flagBits = 0;  // bits 0..5 as ticked
};

struct ApplyOutcome {
  bool linkError = false;  // the chain could not be resolved; the edit went to `p` itself
  bool typeKept = false;   // LINK_TO to an identifier without a record: type and flags kept
};

ApplyOutcome ApplyPropertyEdit(const CIdMap& ids, CPropertyItem& p, const PropertyEdit& edit);
