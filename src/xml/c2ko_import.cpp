#include "c2ko_import.h"

#include "input_file.h"
#include "model/archive_format.h"
#include "model/document.h"
#include "model/progress.h"
#include "model/record_lookup.h"
#include "model/value_types.h"
#include "xml_format.h"

namespace {

std::string_view Inner(std::string_view token) {
  return token.size() >= 2 ? token.substr(1, token.size() - 2) : std::string_view();
}

std::string_view WithoutLeadingBlanks(std::string_view t) {
  size_t i = t.find_first_not_of(' ');
  return i == std::string_view::npos ? std::string_view() : t.substr(i);
}

class C2koImporter {
 public:
  C2koImporter(CTarnelDoc& doc, CRecord* target) : doc_(doc), target_(target) {}

  C2koImportStats Run(std::string_view text, IProgress* progress) {
    if (!AsChildHolder(target_))
      throw C2koImportError(0, "a c2ko file is imported under a group or an object");
    // Leave room below the deepest object for an atom and its properties.
    maxObjectLevels_ = archive::kMaxDepth - DepthOf(target_) - 2;
    C2koLineList lines(text);
    auto& stack = stack_;
    stack.clear();
    stack.push_back(target_);
    ProgressTicker ticker(progress, lines.Count(), 256);
    for (lineNo_ = 1; lineNo_ <= lines.Count(); ++lineNo_) {
      ticker.At(lineNo_ - 1);
      C2koTokenReader reader(lines.Line(lineNo_ - 1));
      std::string_view token;
      while (reader.Next(&token)) {
        std::string_view u = WithoutLeadingBlanks(token);
        if (u.starts_with("O}")) {
          ObjectLine(int(token.size()) - 1, reader, token);
        } else if (u.starts_with("A}")) {
          AtomLine(reader, token);
        } else if (u.starts_with("P}")) {
          PropertyLine(reader, token);
        }
      }
    }
    if (stack.size() < 2) Fail(0, "the file holds no object line");
    ticker.Finish();
    return stats_;
  }

  // Every record made directly under the target, in order, for the tree view.
  const std::vector<CRecord*>& Direct() const { return direct_; }

 private:
  [[noreturn]] void Fail(size_t line, const std::string& cause) {
    throw C2koImportError(line, cause);
  }
  [[noreturn]] void Fail(const std::string& cause) { Fail(lineNo_, cause); }

  void Made(CRecord* r) {
    if (!r) Fail("every identifier of the document is taken");
    if (r->parent == target_) direct_.push_back(r);
  }

  void ObjectLine(int level, C2koTokenReader& reader, std::string_view token) {
    auto& stack = stack_;
    CObj* obj;
    if (level > previousLevel_) {
      // The new object lies one level below the top of the stack.
      if (int(stack.size()) > maxObjectLevels_)
        Fail("objects nested deeper than " + std::to_string(maxObjectLevels_) + " levels");
      obj = doc_.NewObject(stack.back());
      Made(obj);
      stack.push_back(obj);
    } else {
      while (int(stack.size()) > level + 1) stack.pop_back();
      obj = doc_.NewObject(stack[stack.size() - 2]);
      Made(obj);
      stack.back() = obj;
    }
    previousLevel_ = level;
    reader.Next(&token);
    RecordChange named(doc_.events(), obj);
    obj->name = std::string(Inner(token));
    ++stats_.objects;
  }

  void AtomLine(C2koTokenReader& reader, std::string_view token) {
    CRecord* container = stack_.back();
    if (!AsObject(container)) Fail("an atom line needs an object line before it");
    CAtom* atom = doc_.NewAtom(container);
    Made(atom);
    lastAtom_ = atom;
    reader.Next(&token);
    RecordChange named(doc_.events(), atom);
    atom->name = std::string(Inner(token));
    ++stats_.atoms;
  }

  void PropertyLine(C2koTokenReader& reader, std::string_view token) {
    if (!lastAtom_) Fail("a property line needs an atom line before it");
    CPropertyItem* p = doc_.NewProperty(lastAtom_);
    Made(p);
    ++stats_.properties;
    RecordChange filled(doc_.events(), p);
    // A read past the end of the line leaves the previous token in place.
    auto next = [&] { reader.Next(&token); };
    next();
    p->name = std::string(Inner(token));
    next();
    for (int bit = 0; bit < 6; ++bit) {
      next();
      if (token == "{1}") p->SetFlag(bit);
    }
    next();
    next();
    p->typeCode = uint8_t(TypeTagToCode(token));
    next();
    next();
    int count = AtoI(Inner(token));
    next();
    next();
    std::string value;
    for (int i = 0; i < count; ++i) {
      // Repeating the last token up to the count would let one short line claim any amount
      // of memory; a line that holds fewer values than it announces is damaged.
      if (!reader.Next(&token))
        Fail("the property line announces " + std::to_string(count) + " value lines but holds " +
             std::to_string(i));
      if (i > 0) value += "\r\n";
      value += Inner(token);
    }
    p->valueText = std::move(value);
  }

  CTarnelDoc& doc_;
  CRecord* target_;
  size_t lineNo_ = 0;
  int previousLevel_ = 0;
  int maxObjectLevels_ = 0;
  CAtom* lastAtom_ = nullptr;
  // The objects open at each level of the file, the target at the bottom.
  std::vector<CRecord*> stack_;
  std::vector<CRecord*> direct_;
  C2koImportStats stats_;
};

}  // namespace

C2koImportError::C2koImportError(size_t line, const std::string& cause, bool fileNotFound)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + cause : cause),
      line(line),
      cause(cause),
      fileNotFound(fileNotFound) {}

C2koLineList::C2koLineList(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.push_back(line);
    pos = end + 1;
  }
}

bool C2koTokenReader::Next(std::string_view* token) {
  size_t p = pos_;
  if (p >= line_.size()) return false;
  size_t a = line_.find('{', p);
  size_t b = line_.find('}', p);
  size_t e = p;
  if (a != std::string_view::npos) e = a;
  if (b != std::string_view::npos && (e == p || (b > p && b < e))) e = b;
  if (e <= p) return false;
  *token = line_.substr(p, e - p + 1);
  pos_ = e + 1;
  return true;
}

C2koImportStats ImportC2koText(CTarnelDoc& doc, std::string_view text, CRecord* target,
                               IProgress* progress) {
  C2koImporter importer(doc, target);
  // Names are given after the records are made, so the "DecPoint" references of what was made
  // are set once it is all there; what was made stays in the document also when it fails.
  try {
    C2koImportStats stats = importer.Run(text, progress);
    for (CRecord* r : importer.Direct()) doc.RegisterSubtree(r);
    return stats;
  } catch (...) {
    for (CRecord* r : importer.Direct()) doc.RegisterSubtree(r);
    throw;
  }
}

C2koImportStats ImportC2koFile(CTarnelDoc& doc, const std::string& fileName, CRecord* target,
                               IProgress* progress) {
  InputFile f = ReadInputFile(fileName, xmlfmt::kMaxFileSize);
  if (!f.ok) throw C2koImportError(0, f.cause, f.notFound);
  return ImportC2koText(doc, f.bytes, target, progress);
}
