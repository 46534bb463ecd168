#include "import_parser.h"

#include <QXmlStreamReader>

#include "input_file.h"
#include "model/document.h"
#include "model/progress.h"
#include "model/records.h"
#include "model/value_types.h"
#include "text_codec.h"
#include "xml_format.h"

namespace {

bool IsXmlSpace(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// True when the XML declaration names windows-1251, which Qt's own decoders do not know; the
// bytes are then decoded here and the reader gets characters.
bool DeclaresCp1251(const std::string& bytes) {
  std::string_view head(bytes.data(), std::min<size_t>(bytes.size(), 256));
  if (!head.starts_with("<?xml")) return false;
  head = head.substr(0, head.find("?>"));
  size_t at = head.find("encoding");
  if (at == std::string_view::npos) return false;
  size_t i = at + 8;
  auto skipSpace = [&] {
    while (i < head.size() &&
           (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
      ++i;
  };
  skipSpace();
  if (i >= head.size() || head[i] != '=') return false;
  ++i;
  skipSpace();
  if (i >= head.size() || (head[i] != '"' && head[i] != '\'')) return false;
  char quote = head[i++];
  size_t end = head.find(quote, i);
  if (end == std::string_view::npos) return false;
  std::string name(head.substr(i, end - i));
  for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
  return name == "windows-1251" || name == "cp1251";
}

int AttrInt(const QXmlStreamAttributes& attrs, QLatin1String name) {
  return AtoI(attrs.value(name).toLatin1().toStdString());
}

// Builds the import tree from the reader's tokens, without recursion, so the depth of the file
// costs no stack.
class TreeBuilder {
 public:
  TreeBuilder(QXmlStreamReader& xml, std::vector<std::unique_ptr<CRecord>>& records,
              ProgressTicker& ticker)
      : xml_(xml), records_(records), ticker_(ticker) {}

  void Run() {
    while (!xml_.atEnd()) {
      switch (xml_.readNext()) {
        case QXmlStreamReader::StartElement:
          ticker_.At(uint64_t(xml_.characterOffset()));
          Start();
          break;
        case QXmlStreamReader::EndElement:
          End();
          break;
        case QXmlStreamReader::Characters:
          if (value_) valueText_ += xml_.text();
          break;
        case QXmlStreamReader::DTD:
          // Interchange files carry none. Refusing it keeps every entity declaration, and with
          // it any entity expansion or external fetch, out of the reader.
          Fail("document type declarations are not accepted");
        case QXmlStreamReader::EntityReference:
          Fail("reference to the undeclared entity '" + xml_.name().toString().toStdString() + "'");
        default:
          break;
      }
    }
    if (xml_.hasError()) Fail(xml_.errorString().toStdString());
  }

  int altered = 0;
  int skipped = 0;

 private:
  // One open element: the record it made, or none (the root element, or an element passed
  // over, whose content is then passed over too).
  struct Open {
    CRecord* record;
    bool passedOver;
  };

  [[noreturn]] void Fail(const std::string& cause) {
    throw XmlImportError(xml_.lineNumber(), cause);
  }

  std::string Text(QStringView text) {
    std::string out;
    if (ToCp1251Lossy(text.toString(), &out) > 0) ++altered;
    return out;
  }

  void Start() {
    if (open_.size() > size_t(xmlfmt::kMaxDepth))
      Fail("elements nested deeper than " + std::to_string(xmlfmt::kMaxDepth) + " levels");
    if (open_.empty()) {  // the root element, whatever its name
      open_.push_back({nullptr, false});
      return;
    }
    const Open& parent = open_.back();
    if (parent.passedOver || value_) {
      if (!parent.passedOver) ++skipped;
      open_.push_back({nullptr, true});
      return;
    }
    std::unique_ptr<CRecord> record = Make();
    CRecord* raw = record.get();
    if (!record || !Attach(parent.record, std::move(record))) {
      ++skipped;
      open_.push_back({nullptr, true});
      return;
    }
    if (++made_ > xmlfmt::kMaxRecords)
      Fail("more than " + std::to_string(xmlfmt::kMaxRecords) + " records");
    if (raw->Kind() == kKindProperty) {
      value_ = static_cast<CPropertyItem*>(raw);
      valueDepth_ = open_.size();
      valueText_.clear();
    }
    open_.push_back({raw, false});
  }

  void End() {
    if (value_ && open_.size() == valueDepth_ + 1) {
      // The surrounding white space is not part of the value: the writer puts line breaks
      // around it.
      QStringView v(valueText_);
      while (!v.isEmpty() && IsXmlSpace(v.front())) v = v.mid(1);
      while (!v.isEmpty() && IsXmlSpace(v.back())) v.chop(1);
      value_->valueText = Text(v);
      value_ = nullptr;
    }
    if (!open_.empty()) open_.pop_back();
  }

  std::unique_ptr<CRecord> Make() {
    QStringView name = xml_.name();
    std::unique_ptr<CRecord> r;
    const QXmlStreamAttributes attrs = xml_.attributes();
    if (name == QLatin1String(xmlfmt::kGroupElement)) {
      r = std::make_unique<CBase>();
    } else if (name == QLatin1String(xmlfmt::kObjectElement)) {
      r = std::make_unique<CObj>();
    } else if (name == QLatin1String(xmlfmt::kAtomElement)) {
      auto atom = std::make_unique<CAtom>();
      atom->type = int8_t(AttrInt(attrs, QLatin1String("Type")));
      r = std::move(atom);
    } else if (name == QLatin1String(xmlfmt::kPropertyElement)) {
      auto p = std::make_unique<CPropertyItem>();
      p->typeCode =
          uint8_t(TypeNameToCode(attrs.value(QLatin1String("Type")).toLatin1().toStdString()));
      static const char* const kFlags[] = {"B1", "B2", "B3", "B4", "B5", "B6"};
      for (int bit = 0; bit < xmlfmt::kFlagAttrCount; ++bit)
        if (AttrInt(attrs, QLatin1String(kFlags[bit])) != 0) p->SetFlag(bit);
      r = std::move(p);
    } else {
      return nullptr;
    }
    r->name = Text(attrs.value(QLatin1String("Name")));
    r->id = uint32_t(AttrInt(attrs, QLatin1String("ID")));
    return r;
  }

  // Only the places the record tree has: objects in groups, objects and atoms in objects,
  // properties in atoms; any record at the top level.
  bool Attach(CRecord* parent, std::unique_ptr<CRecord> r) {
    if (!parent) {
      records_.push_back(std::move(r));
      return true;
    }
    if (!CanHold(parent, r.get())) return false;
    parent->Children()->Append(std::move(r));
    return true;
  }

  QXmlStreamReader& xml_;
  std::vector<std::unique_ptr<CRecord>>& records_;
  ProgressTicker& ticker_;
  std::vector<Open> open_;
  size_t made_ = 0;
  CPropertyItem* value_ = nullptr;  // the property whose text is being collected
  size_t valueDepth_ = 0;
  QString valueText_;
};

}  // namespace

XmlImportError::XmlImportError(long long line, const std::string& cause)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + cause : cause),
      line(line),
      cause(cause) {}

CImportParser::CImportParser() = default;
CImportParser::~CImportParser() = default;

CRecord* CImportParser::GetRecord(int i) const {
  return i >= 0 && i < GetRecordCount() ? records_[size_t(i)].get() : nullptr;
}

void CImportParser::Clear() {
  records_.clear();
  altered_ = 0;
  skipped_ = 0;
  errorText_.clear();
  errorDetail_.clear();
}

bool CImportParser::Load(const std::string& fileName, IProgress* progress) {
  Clear();
  InputFile f = ReadInputFile(fileName, xmlfmt::kMaxFileSize);
  try {
    if (!f.ok) throw XmlImportError(0, f.cause);
    LoadBytes(f.bytes, progress);
    return true;
  } catch (const XmlImportError& e) {
    errorText_ = xmlfmt::kParseErrorText;
    errorDetail_ = fileName + ": " + e.what();
  } catch (const std::bad_alloc&) {
    Clear();
    errorText_ = xmlfmt::kParseErrorText;
    errorDetail_ = fileName + ": out of memory";
  }
  return false;
}

void CImportParser::LoadBytes(const std::string& bytes, IProgress* progress) {
  Clear();
  if (int64_t(bytes.size()) > xmlfmt::kMaxFileSize)
    throw XmlImportError(0, "larger than " + std::to_string(xmlfmt::kMaxFileSize >> 20) + " MiB");
  QXmlStreamReader xml;
  // The reader counts characters: those of the decoded text, or at most one per byte.
  uint64_t total = bytes.size();
  if (DeclaresCp1251(bytes)) {
    QString text = FromCp1251(bytes);
    total = uint64_t(text.size());
    xml.addData(text);  // characters: the declaration's encoding is not consulted
  } else {
    xml.addData(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
  }
  ProgressTicker ticker(progress, total, 64 * 1024);
  TreeBuilder builder(xml, records_, ticker);
  try {
    builder.Run();
    ticker.Finish();
  } catch (...) {
    records_.clear();
    throw;
  }
  altered_ = builder.altered;
  skipped_ = builder.skipped;
}
