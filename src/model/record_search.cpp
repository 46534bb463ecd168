#include "record_search.h"

#include <array>
#include <charconv>

#include "document.h"
#include "value_types.h"

namespace {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[size_t(i)] = static_cast<unsigned char>(i);
  for (int c = 'A'; c <= 'Z'; ++c) t[size_t(c)] = static_cast<unsigned char>(c + 32);
  for (int c = 0xC0; c <= 0xDF; ++c) t[size_t(c)] = static_cast<unsigned char>(c + 32);  // А..Я
  // The other capitals of the code page and their small letters.
  const unsigned char pairs[][2] = {
      {0xA8, 0xB8},  // Ё ё
      {0x80, 0x90},  // Ђ ђ
      {0x81, 0x83},  // Ѓ ѓ
      {0x8A, 0x9A},  // Љ љ
      {0x8C, 0x9C},  // Њ њ
      {0x8D, 0x9D},  // Ќ ќ
      {0x8E, 0x9E},  // Ћ ћ
      {0x8F, 0x9F},  // Џ џ
      {0xA1, 0xA2},  // Ў ў
      {0xA3, 0xBC},  // Ј ј
      {0xA5, 0xB4},  // Ґ ґ
      {0xAA, 0xBA},  // Є є
      {0xAF, 0xBF},  // Ї ї
      {0xB2, 0xB3},  // І і
      {0xBD, 0xBE},  // Ѕ ѕ
  };
  for (const auto& p : pairs) t[p[0]] = p[1];
  return t;
}

constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

// `folded` (already folded, not empty) inside `text`, case ignored.
bool ContainsFolded(std::string_view text, std::string_view folded) {
  if (folded.size() > text.size()) return false;
  const auto first = static_cast<unsigned char>(folded[0]);
  const size_t last = text.size() - folded.size();
  for (size_t i = 0; i <= last; ++i) {
    if (kFold[static_cast<unsigned char>(text[i])] != first) continue;
    size_t k = 1;
    while (k < folded.size() &&
           kFold[static_cast<unsigned char>(text[i + k])] == static_cast<unsigned char>(folded[k]))
      ++k;
    if (k == folded.size()) return true;
  }
  return false;
}

class Finder {
 public:
  Finder(std::string_view folded, FindMode mode, uint32_t id, std::vector<uint32_t>& out)
      : folded_(folded), mode_(mode), id_(id), out_(out) {}

  void Walk(const CRecord* r) {
    size_t pathLength = path_.size();
    if (mode_ == FindMode::kPath) {
      path_ += '/';
      path_ += r->name;
    }
    if (Matches(*r)) out_.push_back(r->id);
    ForEachChild(r, [this](const CRecord* c) { Walk(c); });
    path_.resize(pathLength);
  }

 private:
  bool Matches(const CRecord& r) const {
    switch (mode_) {
      case FindMode::kName:
        return ContainsFolded(r.name, folded_);
      case FindMode::kPath:
        return ContainsFolded(path_, folded_);
      case FindMode::kId:
        return r.id == id_;
    }
    return false;
  }

  std::string_view folded_;
  FindMode mode_;
  uint32_t id_;
  std::vector<uint32_t>& out_;
  std::string path_;
};

bool ParseId(std::string_view text, uint32_t* id) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *id);
  return ec == std::errc() && end == text.data() + text.size();
}

bool InBranch(const CRecord* r, const CRecord* branch) {
  for (int guard = 0; r && guard < 100000; r = r->parent, ++guard) {
    if (r == branch) return true;
    if (r->Kind() == kKindGroup) break;
  }
  return false;
}

void CollectLinks(const CRecord* r, std::vector<const CPropertyItem*>* out) {
  if (const CPropertyItem* p = AsProperty(r)) {
    if (p->typeCode == kTypeLinkTo) out->push_back(p);
    return;
  }
  ForEachChild(r, [&](const CRecord* c) { CollectLinks(c, out); });
}

}  // namespace

char FoldCp1251(char c) {
  return static_cast<char>(kFold[static_cast<unsigned char>(c)]);
}

std::string FoldCp1251(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = FoldCp1251(c);
  return out;
}

std::vector<uint32_t> FindRecords(const CTarnelDoc& doc, std::string_view text, FindMode mode) {
  std::vector<uint32_t> out;
  uint32_t id = 0;
  if (text.empty() || (mode == FindMode::kId && !ParseId(text, &id))) return out;
  std::string folded = FoldCp1251(text);
  Finder finder(folded, mode, id, out);
  for (CBase* g : doc.Groups()) finder.Walk(g);
  return out;
}

std::vector<LinkReference> FindReferencesTo(const CTarnelDoc& doc, const CRecord* branch) {
  std::vector<LinkReference> out;
  int kind = GetKind(branch);
  if (kind == kKindNone) return out;
  std::vector<const CPropertyItem*> links;
  for (CBase* g : doc.Groups()) CollectLinks(g, &links);
  for (const CPropertyItem* link : links) {
    const CPropertyItem* target = AsProperty(doc.LookupRecord(uint32_t(AtoI(link->valueText))));
    if (target && InBranch(target, branch)) out.push_back({link->id, target->id});
  }
  return out;
}
