#include "consistency.h"

#include <unordered_map>

#include "document.h"
#include "shown_path.h"
#include "value_types.h"

namespace {

struct Checker {
  const CTarnelDoc& doc;
  const std::function<void(const std::string&)>& report;
  std::unordered_map<uint32_t, const CRecord*> seen;

  std::string Describe(const CRecord* r) {
    return "'" + AbbreviatedRecordPath(r) + "' (id " + std::to_string(r->id) + ")";
  }

  void Walk(const CRecord* r) {
    auto [it, fresh] = seen.emplace(r->id, r);
    if (!fresh)
      report("identifier " + std::to_string(r->id) + " is held by " + Describe(it->second) +
             " and by " + Describe(r));
    if (const CPropertyItem* p = AsProperty(r)) CheckProperty(p);
    ForEachChild(r, [this](const CRecord* c) { Walk(c); });
  }

  void CheckProperty(const CPropertyItem* p) {
    if (p->typeCode == kTypeLinkTo && !Target(p))
      report("link " + Describe(p) + " names no property: value '" + p->valueText + "'");
    for (const CIncomingLink& link : p->incomingLinks) {
      auto* source = AsProperty(doc.LookupRecord(link.sourceId));
      if (!source || source->typeCode != kTypeLinkTo || Target(source) != p)
        report("incoming link from " + std::to_string(link.sourceId) + " on " + Describe(p) +
               " has no LINK_TO property pointing here");
    }
  }

  const CPropertyItem* Target(const CPropertyItem* link) {
    return AsProperty(doc.LookupRecord(uint32_t(AtoI(link->valueText))));
  }
};

}  // namespace

void CheckConsistency(const CTarnelDoc& doc,
                      const std::function<void(const std::string&)>& report) {
  Checker c{doc, report, {}};
  for (int i = 0; i < doc.RowCount(nullptr); ++i) c.Walk(doc.RecordAt(nullptr, i));
}

std::vector<std::string> CheckConsistency(const CTarnelDoc& doc) {
  std::vector<std::string> problems;
  CheckConsistency(doc, [&](const std::string& p) { problems.push_back(p); });
  return problems;
}
