// list: one line per record, for reading a base line by line (git's textconv, grep, diff).
#include "command.h"
#include "model/document.h"
#include "model/value_types.h"

namespace {

const char* KindName(int kind) {
  switch (kind) {
    case kKindGroup:
      return "group";
    case kKindObject:
      return "object";
    case kKindAtom:
      return "atom";
    default:
      return "property";
  }
}

// path, kind, id, type, flags, value, separated by tabs; the fields a kind lacks stay empty.
void ListRecord(const CRecord* r, const std::string& parentPath, std::string* out) {
  std::string path = parentPath + "/" + EscapedText(r->name);
  *out += path;
  *out += '\t';
  *out += KindName(r->Kind());
  *out += '\t';
  *out += std::to_string(r->id);
  *out += '\t';
  if (const CPropertyItem* p = AsProperty(r)) {
    *out += p->typeCode < kTypeCount ? TypeCodeToName(p->typeCode) : std::to_string(p->typeCode);
    *out += '\t';
    *out += std::to_string(int(p->flags));
    *out += '\t';
    *out += EscapedText(p->valueText);
  } else {
    if (r->Kind() == kKindAtom) *out += std::to_string(int(static_cast<const CAtom*>(r)->type));
    *out += "\t\t";
  }
  *out += '\n';
  ForEachChild(r, [&](const CRecord* c) { ListRecord(c, path, out); });
}

class ListCommand : public Command {
 public:
  const char* Name() const override { return "list"; }
  const char* Usage() const override { return "IN.kdl"; }
  int Run(const std::vector<std::string>& args) override {
    ExpectArgs(args, 1);
    CTarnelDoc doc;
    OpenDocument(doc, args[0]);
    std::string out;
    for (const auto& g : doc.groups) ListRecord(g.get(), "", &out);
    WriteOut(out);
    return kExitOk;
  }
};

}  // namespace

std::unique_ptr<Command> MakeListCommand() {
  return std::make_unique<ListCommand>();
}
