// dump: the tree as the editor shows it after opening, as JSON.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "command.h"
#include "model/cp1251.h"
#include "model/document.h"

namespace {

QString Text(const std::string& bytes) {
  return QString::fromUtf8(Cp1251ToUtf8(bytes));
}

QJsonObject RecordJson(const CRecord* r) {
  QJsonObject o;
  o["name"] = Text(r->name);
  o["id"] = qint64(r->id);
  switch (r->Kind()) {
    case kKindGroup:
    case kKindObject: {
      o["kind"] = r->Kind() == kKindGroup ? "group" : "object";
      QJsonArray children;
      ForEachChild(r, [&](const CRecord* c) { children.append(RecordJson(c)); });
      o["children"] = children;
      break;
    }
    case kKindAtom: {
      auto* atom = static_cast<const CAtom*>(r);
      o["kind"] = "atom";
      o["type"] = int(atom->type);
      QJsonArray props;
      for (CPropertyItem* p : atom->properties) props.append(RecordJson(p));
      o["properties"] = props;
      break;
    }
    default: {
      auto* p = static_cast<const CPropertyItem*>(r);
      o["kind"] = "property";
      o["type"] = int(p->typeCode);
      o["flags"] = int(p->flags);
      o["eoc"] = p->eoc;
      o["value"] = Text(p->valueText);
      o["raw"] = qint64(p->GetRawValue());
      QJsonArray incoming;
      for (const auto& link : p->incomingLinks) incoming.append(qint64(link.sourceId));
      o["incoming"] = incoming;
      break;
    }
  }
  return o;
}

class DumpCommand : public Command {
 public:
  const char* Name() const override { return "dump"; }
  const char* Usage() const override { return "IN.kdl"; }
  int Run(const std::vector<std::string>& args) override {
    ExpectArgs(args, 1);
    CTarnelDoc doc;
    OpenDocument(doc, args[0]);
    QJsonArray groups;
    for (CBase* g : doc.Groups()) groups.append(RecordJson(g));
    QJsonObject top;
    top["lastId"] = int(doc.Ids().GetLastId());
    top["groups"] = groups;
    QByteArray json = QJsonDocument(top).toJson(QJsonDocument::Compact);
    json.append('\n');
    if (std::fwrite(json.constData(), 1, size_t(json.size()), stdout) != size_t(json.size()) ||
        std::fflush(stdout) != 0)
      throw CliError(kExitFailure, "standard output: write error");
    return kExitOk;
  }
};

}  // namespace

std::unique_ptr<Command> MakeDumpCommand() {
  return std::make_unique<DumpCommand>();
}
