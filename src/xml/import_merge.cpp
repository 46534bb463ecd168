#include "import_merge.h"

#include "import_selection.h"
#include "model/archive_format.h"
#include "model/document.h"
#include "model/progress.h"
#include "model/record_lookup.h"
#include "model/value_types.h"

namespace {

int CountTicked(const CImportItem& item) {
  int n = item.check == kChecked ? 1 : 0;
  for (const auto& c : item.children) n += CountTicked(*c);
  return n;
}

// Makes the copy of `source` under `target` by the target's kind; null when the kind pair
// takes no copy or the document refuses it (no identifier left).
CRecord* CopyOne(CTarnelDoc& doc, const CRecord* source, CRecord* target, bool* refused) {
  *refused = false;
  CRecord* made = nullptr;
  switch (GetKind(target)) {
    case kKindNone:
      made = doc.NewGroup(source->name);
      break;
    case kKindGroup:
      made = doc.NewObject(target, source->name);
      break;
    case kKindObject:
      if (source->Kind() == kKindObject) {
        made = doc.NewObject(target, source->name);
      } else if (source->Kind() == kKindAtom) {
        made = doc.NewAtom(target, source->name, static_cast<const CAtom*>(source)->type);
      } else {
        return nullptr;  // nothing else goes into an object
      }
      break;
    case kKindAtom: {
      const CPropertyItem* sp = AsProperty(source);
      if (!sp) return nullptr;
      made = doc.NewProperty(target, [&](CPropertyItem& p) {
        p.name = sp->name;
        p.typeCode = sp->typeCode;
        p.flags = sp->flags;
        p.valueText = ConvertLineEnds(sp->valueText);
        return true;
      });
      break;
    }
    default:
      return nullptr;
  }
  if (!made) *refused = true;
  return made;
}

void Merge(CTarnelDoc& doc, const CImportItem& item, CRecord* target, int targetDepth,
           MergeStats* stats, ProgressTicker* ticker) {
  if (GetKind(target) == kKindProperty) return;
  for (const auto& child : item.children) {
    if (child->check != kChecked) {
      Merge(doc, *child, target, targetDepth, stats, ticker);
      continue;
    }
    if (targetDepth + 1 > archive::kMaxDepth) {
      stats->notCopied += CountTicked(*child);
      continue;
    }
    bool refused = false;
    CRecord* made = CopyOne(doc, child->record, target, &refused);
    if (!made) {
      if (refused) stats->notCopied += CountTicked(*child);
      continue;
    }
    ++stats->copied;
    if (ticker) ticker->Add();
    Merge(doc, *child, made, targetDepth + 1, stats, ticker);
  }
}

}  // namespace

void MergeChecked(CTarnelDoc& doc, const CImportItem& item, CRecord* target, MergeStats* stats) {
  MergeStats local;
  Merge(doc, item, target, target ? DepthOf(target) : 0, stats ? stats : &local, nullptr);
}

std::string ConvertLineEnds(std::string_view text) {
  // Every bare line feed gets its carriage return, so blank lines inside a value survive.
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
    out.push_back(text[i]);
  }
  return out;
}

void ResolveImportedLinks(CTarnelDoc& doc, CRecord* record, LinkStats* stats) {
  CPropertyItem* p = AsProperty(record);
  if (!p) {
    ForEachChild(record, [&](CRecord* c) { ResolveImportedLinks(doc, c, stats); });
    return;
  }
  if (p->typeCode != kTypeLinkTo) return;
  if (CRecord* found = FindRecordByTreePath(doc, p->valueText, nullptr, 0)) {
    uint32_t id = found->id;
    {
      RecordChange change(doc.events(), p);
      p->valueText = std::to_string(int32_t(id));
    }
    if (CPropertyItem* target = AsProperty(doc.LookupRecord(id)))
      if (target->FindIncomingLink(p->id) < 0) {
        RecordChange change(doc.events(), target);
        target->AddIncomingLink(p->id);
      }
    if (stats) ++stats->resolved;
  } else if (AtoI(p->valueText) == 0) {
    RecordChange change(doc.events(), p);
    p->typeCode = kTypeBin;
    if (stats) ++stats->madeBinary;
  }
}

ImportOutcome ApplyImport(CTarnelDoc& doc, const CImportItem& root, CRecord* target,
                          IProgress* progress) {
  ImportOutcome outcome;
  ProgressTicker ticker(progress, progress ? uint64_t(CountTicked(root)) : 0, 256);
  ticker.At(0);
  Merge(doc, root, target, target ? DepthOf(target) : 0, &outcome.merge, &ticker);
  // Once the copies are complete the import goes through to the end.
  ticker.Finish();
  doc.RelinkAll();
  for (CBase* g : doc.Groups()) ResolveImportedLinks(doc, g, &outcome.links);
  return outcome;
}
