// list: one line per record, for reading a base line by line (git's textconv, grep, diff).
#include "command.h"
#include "model/document.h"
#include "model/shown_path.h"
#include "model/value_types.h"

namespace {

// Walks the tree with one path that grows and shrinks on the way, so no record's whole path is
// kept beyond its own line.
class Lister {
 public:
  explicit Lister(OutputStream& out) : out_(out) {}

  // path, kind, id, type, flags, value, separated by tabs; the fields a kind lacks stay empty.
  void List(const CRecord* r) {
    size_t mark = path_.size();
    path_ += '/';
    path_ += r->name;
    out_ << EscapedText(AbbreviatedPath(path_, r->id)) << "\t" << RecordKindName(r->Kind()) << "\t"
         << std::to_string(r->id) << "\t";
    if (const CPropertyItem* p = AsProperty(r)) {
      out_ << (p->typeCode < kTypeCount ? TypeCodeToName(p->typeCode) : std::to_string(p->typeCode))
           << "\t" << std::to_string(int(p->flags)) << "\t" << EscapedText(p->valueText);
    } else {
      if (r->Kind() == kKindAtom) out_ << std::to_string(int(static_cast<const CAtom*>(r)->type));
      out_ << "\t\t";
    }
    out_ << "\n";
    ForEachChild(r, [&](const CRecord* c) { List(c); });
    path_.resize(mark);
  }

 private:
  OutputStream& out_;
  std::string path_;  // windows-1251
};

class ListCommand : public Command {
 public:
  const char* Name() const override { return "list"; }
  const char* Usage() const override { return "IN.kdl"; }
  int Run(const std::vector<std::string>& args) override {
    ExpectArgs(args, 1);
    CTarnelDoc doc;
    OpenDocument(doc, args[0]);
    OutputStream out;
    ListDocument(doc, out);
    out.Flush();
    return kExitOk;
  }
};

}  // namespace

void ListDocument(const CTarnelDoc& doc, OutputStream& out) {
  Lister lister(out);
  for (int i = 0; i < doc.RowCount(nullptr); ++i) lister.List(doc.RecordAt(nullptr, i));
}

std::unique_ptr<Command> MakeListCommand() {
  return std::make_unique<ListCommand>();
}
