#include "record_lookup.h"

#include <algorithm>

#include "document.h"
#include "value_types.h"

int DepthOf(const CRecord* record) {
  int depth = 0;
  for (; record; record = record->parent) ++depth;
  return depth;
}

CPropertyItem* LinkTargetOf(const CIdMap& ids, const CPropertyItem* property) {
  if (!property || property->typeCode != kTypeLinkTo) return nullptr;
  return AsProperty(ids.Lookup(uint32_t(AtoI(property->valueText))));
}

CPropertyItem* LinkTargetOf(const CTarnelDoc& doc, const CPropertyItem* property) {
  if (!property || property->typeCode != kTypeLinkTo) return nullptr;
  return AsProperty(doc.LookupRecord(uint32_t(AtoI(property->valueText))));
}

CRecord* LinksObjectOf(const CRecord* property) {
  const CRecord* atom = property ? property->parent : nullptr;
  return atom ? atom->parent : nullptr;
}

std::string LinkTemplateName(std::string_view text) {
  std::string name(text);
  std::replace(name.begin(), name.end(), '\\', '/');
  bool drive = name.size() >= 2 && name[1] == ':';
  if (name.empty() || name[0] == '/' || name[0] == ':' || drive ||
      name.find('\0') != std::string::npos)
    return {};
  for (size_t start = 0; start <= name.size();) {
    size_t end = std::min(name.find('/', start), name.size());
    if (name.compare(start, end - start, "..") == 0) return {};
    start = end + 1;
  }
  return name;
}

void CollectProperties(const CRecord* branch, std::vector<CPropertyItem*>* out) {
  if (GetKind(branch) == kKindProperty) {
    out->push_back(const_cast<CPropertyItem*>(AsProperty(branch)));
    return;
  }
  ForEachChild(branch, [&](const CRecord* c) { CollectProperties(c, out); });
}

namespace {

// `rest` is what follows the path of `parent`: "/name..." for each record below it.
void Collect(const CTarnelDoc& doc, const CRecord* parent, std::string_view rest, bool all,
             std::vector<CRecord*>* out) {
  for (int i = 0, n = doc.RowCount(parent); i < n; ++i) {
    CRecord* child = doc.RecordAt(parent, i);
    const std::string& name = child->name;
    if (rest.size() < 1 + name.size() || rest.compare(1, name.size(), name) != 0) continue;
    std::string_view after = rest.substr(1 + name.size());
    if (after.empty())
      out->push_back(child);
    else if (after.front() == '/')
      Collect(doc, child, after, all, out);
    if (!all && !out->empty()) return;
  }
}

}  // namespace

CRecord* FindRecordByPath(const CTarnelDoc& doc, std::string_view path) {
  std::vector<CRecord*> found;
  if (!path.empty() && path.front() == '/') Collect(doc, nullptr, path, false, &found);
  return found.empty() ? nullptr : found.front();
}

std::vector<CRecord*> FindRecordsByPath(const CTarnelDoc& doc, std::string_view path) {
  std::vector<CRecord*> found;
  if (!path.empty() && path.front() == '/') Collect(doc, nullptr, path, true, &found);
  return found;
}

CRecord* FindRecordByPath(const CTarnelDoc& doc, std::string_view path, int* count) {
  std::vector<CRecord*> found = FindRecordsByPath(doc, path);
  *count = int(found.size());
  return found.empty() ? nullptr : found.front();
}

CPropertyItem* FindPropertyByPath(const CTarnelDoc& doc, std::string_view path) {
  for (CRecord* r : FindRecordsByPath(doc, path))
    if (CPropertyItem* p = AsProperty(r)) return p;
  return nullptr;
}

CRecord* FindRecordByTreePath(const CTarnelDoc& doc, std::string_view path, CRecord* start,
                              size_t position) {
  // The tree's recursive walk, one level per turn.
  for (;;) {
    size_t end = path.find('/', position + 1);
    if (end == std::string_view::npos) end = path.size();
    std::string_view name;
    if (end > position && position < path.size()) name = path.substr(position, end - position);
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    int n = doc.RowCount(start);
    if (n == 0) return start;
    CRecord* child = nullptr;
    for (int i = 0; i < n && !child; ++i)
      if (CRecord* c = doc.RecordAt(start, i); c->name == name) child = c;
    if (!child) return nullptr;
    start = child;
    position = end + 1;
  }
}

const CPropertyItem* FindKeptProperty(const CTarnelDoc& doc, uint32_t id, std::string_view path,
                                      const std::function<bool(uint32_t)>& taken,
                                      bool followRename) {
  const CPropertyItem* byId = AsProperty(doc.LookupRecord(id));
  if (byId && GetRecordPath(byId) == path) return byId;
  if (const CPropertyItem* atPath = FindPropertyByPath(doc, path);
      atPath && (atPath->id == id || !taken || !taken(atPath->id)))
    return atPath;
  return followRename ? byId : nullptr;
}
