#include "export_file.h"

#include <ctime>

#include "model/document.h"
#include "model/progress.h"
#include "model/value_types.h"
#include "xml_format.h"

namespace {

// Every line end reaches the disk as CR LF, the line ends inside values included.
constexpr char kEol[] = "\r\n";

constexpr char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"windows-1251\" ?>\r\n"
    "<?Vorlex-XML MajVer=\"1\" MinVer=\"0\" RelVer=\"0\" "
    "Copyright=\"Copyright (c) 1998-2026 Vorlex\"?>\r\n"
    "<!--  Export file of Vorlex Quorvantis   -->\r\n";
constexpr char kTrailer[] =
    "</PartQuorvantis>\r\n"
    "<!--  End of Export file of Vorlex Quorvantis  --> \r\n";

// Bytes that no XML 1.0 document can hold, not even as a character reference: the C0
// controls other than tab, LF and CR, and 0x98, which has no character in windows-1251.
bool IsUnwritable(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x98;
}

void CheckWritable(const std::string& text, const CRecord* r, const char* what) {
  for (unsigned char c : text)
    if (IsUnwritable(c)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X", c);
      throw ExportError(std::string("the ") + what + " of record " + std::to_string(r->id) +
                        " holds the byte " + hex + ", which an XML file cannot carry");
    }
}

// The four replacements of the format. Attribute values also need the quote that delimits
// them, and the white space characters that a reader would otherwise turn into blanks, so
// every name comes back as it was.
void AppendEscaped(const std::string& text, bool attribute, std::string* out) {
  for (char c : text) {
    const char* entity = nullptr;
    switch (c) {
      case '&':
        entity = "&amp;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '\'':
        entity = "&apos;";
        break;
      case '"':
        entity = attribute ? "&quot;" : nullptr;
        break;
      case '\t':
        entity = attribute ? "&#9;" : nullptr;
        break;
      case '\n':
        entity = attribute ? "&#10;" : nullptr;
        break;
      case '\r':
        entity = attribute ? "&#13;" : nullptr;
        break;
      default:
        break;
    }
    if (entity)
      *out += entity;
    else
      out->push_back(c);
  }
}

void AppendEscapedText(const std::string& text, std::string* out) {
  AppendEscaped(text, false, out);
}

void AppendAttribute(const char* name, const CRecord* r, std::string* out) {
  CheckWritable(r->name, r, "name");
  *out += ' ';
  *out += name;
  *out += "=\"";
  AppendEscaped(r->name, true, out);
  *out += '"';
}

void AppendNumber(const char* name, long long value, std::string* out) {
  *out += ' ';
  *out += name;
  *out += "=\"";
  *out += std::to_string(value);
  *out += '"';
}

void AppendStartTag(const char* element, const CRecord* r, std::string* out) {
  *out += '<';
  *out += element;
  AppendAttribute(xmlfmt::kNameAttr, r, out);
  AppendNumber(xmlfmt::kIdAttr, int32_t(r->id), out);
}

void AppendEndTag(const char* element, std::string* out) {
  *out += "</";
  *out += element;
  *out += '>';
  *out += kEol;
}

// The text between a property's start and end lines, without its line end.
std::string ValueLine(const CTarnelDoc& doc, const CPropertyItem& p) {
  std::string text;
  text.reserve(p.valueText.size());
  AppendEscapedText(p.valueText, &text);
  std::erase(text, '\r');
  // The first character stays, so a value of line breaks alone keeps one.
  while (text.size() > 1 && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (p.typeCode != kTypeLinkTo) {
    CheckWritable(text, &p, "value");
    return text;
  }
  const CRecord* target = doc.LookupRecord(uint32_t(AtoI(text)));
  if (!target) return std::string();
  std::string path = GetRecordPath(target);
  CheckWritable(path, &p, "link target path");
  std::string escaped;
  AppendEscapedText(path, &escaped);
  // A name may hold a carriage return, which a reader would turn into a line feed.
  std::string out;
  for (char c : escaped) {
    if (c == '\r')
      out += "&#13;";
    else
      out.push_back(c);
  }
  return out;
}

}  // namespace

ExportDate LocalDateToday() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900};
}

CExportFile::CExportFile(const CTarnelDoc& doc, const CRecord* record, std::string fileName)
    : doc_(doc), record_(record), fileName_(std::move(fileName)) {}

bool CExportFile::Export(IProgress* progress) {
  error_.clear();
  // Writing the text costs more than putting it on disk.
  constexpr uint64_t kScale = 10000, kTextShare = kScale * 4 / 5;
  ProgressShare text(progress, 0, kTextShare, kScale);
  ProgressShare disk(progress, kTextShare, kScale, kScale);
  try {
    WriteFileAtomically(fileName_, ExportToBytes(LocalDateToday(), text.get()), disk.get());
    return true;
  } catch (const ExportError& e) {
    error_ = fileName_ + ": " + e.what();
  } catch (const DocumentFileError& e) {
    error_ = e.what();
  } catch (const std::bad_alloc&) {
    error_ = fileName_ + ": out of memory";
  }
  return false;
}

std::string CExportFile::ExportToBytes(const ExportDate& date, IProgress* progress) const {
  uint64_t total = 0;
  if (progress) {
    // The records the file will hold, to measure the way against.
    std::vector<const CRecord*> todo;
    if (record_)
      todo.push_back(record_);
    else
      for (CBase* g : doc_.Groups()) todo.push_back(g);
    while (!todo.empty()) {
      const CRecord* r = todo.back();
      todo.pop_back();
      ++total;
      ForEachChild(r, [&](const CRecord* c) { todo.push_back(c); });
    }
  }
  ProgressTicker ticker(progress, total, 1024);
  ticker.At(0);
  ticker_ = progress ? &ticker : nullptr;
  struct Forget {
    const CExportFile* file;
    ~Forget() { file->ticker_ = nullptr; }
  } forget{this};
  std::string out = kHeader;
  char line[64];
  std::snprintf(line, sizeof line, "<!--  Date of generation %.2d.%.2d.%d  -->\r\n", date.day,
                date.month, date.year);
  out += line;
  out += '<';
  out += xmlfmt::kRootElement;
  out += '>';
  if (record_) {
    WriteRecord(record_, &out);
  } else {
    for (CBase* g : doc_.Groups()) WriteRecord(g, &out);
  }
  out += kTrailer;
  ticker.Finish();
  return out;
}

bool CExportFile::WriteRecord(const CRecord* record, std::string* out) const {
  if (ticker_ && GetKind(record) != kKindNone) ticker_->Add();
  switch (GetKind(record)) {
    case kKindGroup:
    case kKindObject: {
      const char* element =
          record->Kind() == kKindGroup ? xmlfmt::kGroupElement : xmlfmt::kObjectElement;
      AppendStartTag(element, record, out);
      *out += '>';
      *out += kEol;
      ForEachChild(record, [&](const CRecord* c) { WriteRecord(c, out); });
      AppendEndTag(element, out);
      break;
    }
    case kKindAtom: {
      auto* atom = static_cast<const CAtom*>(record);
      AppendStartTag(xmlfmt::kAtomElement, atom, out);
      AppendNumber(xmlfmt::kTypeAttr, atom->type, out);
      *out += '>';
      *out += kEol;
      ForEachChild(atom, [&](const CRecord* p) { WriteRecord(p, out); });
      AppendEndTag(xmlfmt::kAtomElement, out);
      break;
    }
    case kKindProperty: {
      auto* p = static_cast<const CPropertyItem*>(record);
      AppendStartTag(xmlfmt::kPropertyElement, p, out);
      *out += " Type=\"";
      *out += TypeCodeToName(p->typeCode);
      *out += '"';
      char flag[] = " B1=\"0\"";
      for (int bit = 0; bit < xmlfmt::kFlagAttrCount; ++bit) {
        flag[2] = char('1' + bit);
        flag[5] = p->IsFlagSet(bit) ? '1' : '0';
        *out += flag;
      }
      *out += '>';
      *out += kEol;
      std::string value = ValueLine(doc_, *p);
      // Inner line feeds become line ends on disk like every other.
      for (char c : value) {
        if (c == '\n')
          *out += kEol;
        else
          out->push_back(c);
      }
      *out += kEol;
      AppendEndTag(xmlfmt::kPropertyElement, out);
      break;
    }
    default:
      break;
  }
  return true;
}
