#include "consistency.h"

#include <unordered_map>

#include "document.h"
#include "value_types.h"

namespace {

struct Checker {
  const CTarnelDoc& doc;
  std::vector<std::string> problems;
  std::unordered_map<uint32_t, const CRecord*> seen;

  std::string Describe(const CRecord* r) {
    return "'" + GetRecordPath(r) + "' (id " + std::to_string(r->id) + ")";
  }

  void Walk(const CRecord* r) {
    auto [it, fresh] = seen.emplace(r->id, r);
    if (!fresh)
      problems.push_back("identifier " + std::to_string(r->id) + " is held by " +
                         Describe(it->second) + " and by " + Describe(r));
    if (const CPropertyItem* p = AsProperty(r)) CheckProperty(p);
    ForEachChild(r, [this](const CRecord* c) { Walk(c); });
  }

  void CheckProperty(const CPropertyItem* p) {
    if (p->typeCode == kTypeLinkTo && !Target(p))
      problems.push_back("link " + Describe(p) + " names no property: value '" + p->valueText +
                         "'");
    for (const CIncomingLink& link : p->incomingLinks) {
      auto* source = AsProperty(doc.LookupRecord(link.sourceId));
      if (!source || source->typeCode != kTypeLinkTo || Target(source) != p)
        problems.push_back("incoming link from " + std::to_string(link.sourceId) + " on " +
                           Describe(p) + " has no LINK_TO property pointing here");
    }
  }

  const CPropertyItem* Target(const CPropertyItem* link) {
    return AsProperty(doc.LookupRecord(uint32_t(AtoI(link->valueText))));
  }
};

}  // namespace

std::vector<std::string> CheckConsistency(const CTarnelDoc& doc) {
  Checker c{doc, {}, {}};
  for (const auto& g : doc.groups) c.Walk(g.get());
  return std::move(c.problems);
}
