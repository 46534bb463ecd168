// Builds two documents from arbitrary bytes, deep and with long names when the bytes say so,
// decodes both from their saved files as the editor opens them, then lists the first as
// `kandrel-cli list` does and compares them both ways. Every listed line must be clean UTF-8
// with its path abbreviated, a document must equal itself, and differences must come sorted by
// their whole paths.
//
// Bytes: a recipe for the first document, a 0xFF byte, a recipe of edits for the second (the
// first again, edited). A recipe is a list of steps, each a byte and what it needs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "model/base_compare.h"
#include "model/document.h"
#include "model/document_edits.h"
#include "model/shown_path.h"
#include "model/value_types.h"

namespace {

struct Reader {
  std::string_view bytes;
  size_t at = 0;
  bool More() const { return at < bytes.size(); }
  uint8_t Next() { return More() ? uint8_t(bytes[at++]) : 0; }
};

// A name of 0..16,320 bytes: short ones taken from the input, long ones a byte repeated.
std::string Name(Reader& in) {
  uint8_t n = in.Next();
  if (n < 0x40) {
    std::string name;
    for (uint8_t k = 0; k < n % 16 && in.More(); ++k) name += char(in.Next());
    return name;
  }
  return std::string(size_t(n) * 64, char(in.Next()));
}

// Where the next record goes: the cursor moves down into what was made, or up.
// Records are held by identifier: an edit may delete any of them. `made` lists what the
// recipes made, the first one's records for the edits of the second.
void Build(CTarnelDoc& doc, Reader in, bool edits, std::vector<uint32_t>& made) {
  uint32_t at = 2;  // the group Logic
  auto pick = [&](uint8_t b) -> CRecord* {
    if (made.empty()) return doc.RecordAt(nullptr, b % 3);
    return doc.LookupRecord(made[b % made.size()]);
  };
  while (in.More()) {
    uint8_t step = in.Next();
    CRecord* here = doc.LookupRecord(at);
    CRecord* r = nullptr;
    switch (step % 8) {
      case 0:
        r = AddObject(doc, here, Name(in)).record;
        break;
      case 1:
        r = AddAtom(doc, here, Name(in), int8_t(in.Next())).record;
        break;
      case 2: {
        PropertyDraft draft;
        draft.name = Name(in);
        draft.typeCode = uint8_t(in.Next() % kTypeCount);
        draft.flags = uint8_t(in.Next() & 0x3F);
        draft.valueText = draft.typeCode == kTypeLinkTo ? std::to_string(in.Next()) : Name(in);
        AddProperty(doc, here, draft);
        break;
      }
      case 3:
        if (here && here->parent) at = here->parent->id;
        break;
      case 4:
        if (edits) DeleteRecord(doc, pick(in.Next()));
        break;
      case 5:
        if (edits) MoveUnder(doc, pick(in.Next()), pick(in.Next()));
        break;
      case 6:
        if (edits) ApplyRecordEdit(doc, pick(in.Next()), Name(in), false, 0);
        break;
      default:
        if (CRecord* p = pick(in.Next())) at = p->id;
        break;
    }
    // Objects and atoms are gone into at once, so a run of them nests deeper and deeper.
    if (r) {
      made.push_back(r->id);
      if (GetKind(r) == kKindObject || GetKind(r) == kKindAtom) at = r->id;
    }
    if (made.size() > 8192) return;
  }
}

void Check(bool ok) {
  if (!ok) std::abort();
}

// Clean UTF-8 without control characters but the line ends.
void CheckText(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    auto c = uint8_t(text[i]);
    Check(c >= 0x20 || c == '\n' || c == '\t');
    Check(c != 0x7F);
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
    Check(len > 0 && i + len <= text.size());
    for (size_t k = 1; k < len; ++k) Check((uint8_t(text[i + k]) & 0xC0) == 0x80);
    i += len;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  size_t cut = bytes.find('\xFF');
  CTarnelDoc made;
  made.OnNewDocument();
  std::vector<uint32_t> ids;
  Build(made, Reader{bytes.substr(0, cut)}, false, ids);
  std::string firstFile = made.SaveToBytes();
  if (cut != std::string_view::npos) Build(made, Reader{bytes.substr(cut + 1)}, true, ids);
  std::string secondFile = made.SaveToBytes();

  // Both as the editor opens them.
  CTarnelDoc first, second;
  first.OpenBytes(firstFile, "first");
  second.OpenBytes(secondFile, "second");

  size_t lines = 0;
  std::string listed;
  OutputStream out([&](std::string_view piece) {
    CheckText(piece);
    listed.append(piece);
  });
  ListDocument(first, out);
  out.Flush();
  for (size_t start = 0, end; (end = listed.find('\n', start)) != std::string::npos;
       start = end + 1, ++lines) {
    // The path is at most the limit's bytes, each escaped to at most four.
    size_t tab = listed.find('\t', start);
    Check(tab < end && tab - start <= 4 * kShownPathLimit + 2);
  }

  Check(CompareDocuments(first, first).Equal());
  for (bool byPath : {false, true}) {
    CompareResult r = CompareDocuments(first, second, {byPath, false});
    // Sorted by whole path, then kind; checked on the first few, whole paths cost.
    for (size_t k = 1; k < r.differences.size() && k < 64; ++k) {
      const Difference& x = r.differences[k - 1];
      const Difference& y = r.differences[k];
      std::string px = r.PathOf(x), py = r.PathOf(y);
      Check(px < py || (px == py && x.kind <= y.kind));
      Check(r.ShownPathOf(y).size() <= kShownPathLimit);
    }
    if (!byPath) Check(CompareDocuments(second, second, {byPath, false}).Equal());
  }
  return 0;
}
