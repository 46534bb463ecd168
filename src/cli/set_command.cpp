// set: writes one property's value to a running server as the form's "Применить" would,
// journals it, and waits for the server to report it back.
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <unordered_set>

#include "base_download.h"
#include "command.h"
#include "model/cp1251.h"
#include "model/document.h"
#include "model/document_edits.h"
#include "model/records.h"
#include "model/value_types.h"
#include "net/base_session.h"
#include "net/write_gate.h"

namespace {

constexpr int kDefaultSetTimeoutSeconds = 10;

// The property a path names: "/Group/.../Atom/Property", each step the first child so named.
CPropertyItem* FindByPath(CTarnelDoc& doc, const std::string& path) {
  if (path.size() < 2 || path[0] != '/') return nullptr;
  CRecord* at = nullptr;
  size_t from = 1;
  while (from <= path.size()) {
    size_t slash = path.find('/', from);
    if (slash == std::string::npos) slash = path.size();
    std::string name = path.substr(from, slash - from);
    CRecord* next = nullptr;
    if (!at) {
      for (int i = 0; i < doc.RowCount(nullptr) && !next; ++i)
        if (doc.RecordAt(nullptr, i)->name == name) next = doc.RecordAt(nullptr, i);
    } else {
      ForEachChild(at, [&](CRecord* c) {
        if (!next && c->name == name) next = c;
      });
    }
    if (!next) return nullptr;
    at = next;
    from = slash + 1;
  }
  return AsProperty(at);
}

// Where the value of `p` goes: the end of its chain when its end-of-chain flag is set.
CPropertyItem* ValueHolder(CTarnelDoc& doc, CPropertyItem* p) {
  std::unordered_set<const CPropertyItem*> passed;
  CPropertyItem* e = p;
  if (!p->eoc) return e;
  while (e && e->typeCode == kTypeLinkTo) {
    if (!passed.insert(e).second) return nullptr;
    e = AsProperty(doc.LookupRecord(uint32_t(AtoI(e->valueText))));
  }
  return e;
}

// Refuses a value the property's type cannot hold; the form's conversion would store 0 or
// wrap it silently.
void CheckValue(const CPropertyItem& p, const std::string& text, const std::string& path) {
  auto refuse = [&](const std::string& why) {
    throw CliError(kExitUsage, Cp1251ToUtf8(path) + ": " + why);
  };
  switch (p.typeCode) {
    case kTypeLinkTo:
    case kTypeFile:
      refuse(std::string("a ") + TypeCodeToName(p.typeCode) +
             " value is not sent as a value; change it in the editor");
      break;
    default:
      break;
  }
  const char* begin = text.c_str();
  char* end = nullptr;
  double v = std::strtod(begin, &end);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  if (text.empty() || *end || !std::isfinite(v))
    refuse(std::string("'") + Cp1251ToUtf8(text) + "' is no number for a " +
           TypeCodeToName(p.typeCode) + " value");
  double lo = 0, hi = 0;
  bool whole = true;
  switch (p.typeCode) {
    case kTypeBin:
    case kTypeByte:
      lo = -128, hi = 255;
      break;
    case kTypeShort:
      lo = -32768, hi = 65535;
      whole = false;  // scaled by the atom's decimal places
      break;
    case kTypeInt:
    case kTypeDateTime:
      lo = -2147483648.0, hi = 4294967295.0;
      break;
    default:
      return;  // FLOAT, DOUBLE
  }
  if (whole && v != std::floor(v))
    refuse(std::string("a ") + TypeCodeToName(p.typeCode) + " value is a whole number");
  if (whole && (v < lo || v > hi))
    refuse("'" + Cp1251ToUtf8(text) + "' is out of range for a " + TypeCodeToName(p.typeCode) +
           " value");
}

class SetCommand : public Command {
 public:
  const char* Name() const override { return "set"; }
  const char* Usage() const override { return "HOST PORT (--id N | --path P) VALUE [--timeout S]"; }

  int Run(const std::vector<std::string>& args) override {
    std::string usage = std::string("usage: kandrel-cli set ") + Usage();
    std::vector<std::string> positional;
    std::string path;
    long id = -1;
    bool byPath = false;
    int timeout = kDefaultSetTimeoutSeconds;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "--id" || a == "--path" || a == "--timeout") {
        if (i + 1 >= args.size()) throw CliError(kExitUsage, usage);
        const std::string& v = args[++i];
        if (a == "--id") {
          id = ParseNumber(v, 0, 0xFFFF, usage);
        } else if (a == "--path") {
          byPath = true;
          if (Utf8ToCp1251(v, &path) > 0)
            throw CliError(kExitUsage, "--path takes a record path that windows-1251 can hold");
        } else {
          timeout = ParseNumber(v, 1, 3600, usage);
        }
      } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9') && a[1] != '.') {
        throw CliError(kExitUsage, usage);
      } else {
        positional.push_back(a);
      }
    }
    if (positional.size() != 3 || (id >= 0) == byPath) throw CliError(kExitUsage, usage);
    const std::string& host = positional[0];
    int port = ParseNumber(positional[1], 1, 65535, usage);
    std::string value;
    if (Utf8ToCp1251(positional[2], &value) > 0)
      throw CliError(kExitUsage, "the value holds a character that windows-1251 cannot hold");
    std::string peer = host + ":" + std::to_string(port);

    CTarnelDoc doc;
    doc.OnNewDocument();
    doc.RebuildTree();
    EnsureCoreApplication();
    CBaseSession session(doc);
    DownloadBase(session, host, port, std::max(timeout, kDefaultTimeoutSeconds));

    CPropertyItem* named =
        byPath ? FindByPath(doc, path) : AsProperty(doc.LookupRecord(uint32_t(id)));
    if (!named)
      throw CliError(kExitFailure,
                     peer + ": " +
                         (byPath ? "no property at " + Cp1251ToUtf8(path)
                                 : "no property with identifier " + std::to_string(id)));
    CPropertyItem* holder = ValueHolder(doc, named);
    if (!holder)
      throw CliError(kExitFailure, peer + ": the link chain of " +
                                       Cp1251ToUtf8(GetRecordPath(named)) + " cannot be resolved");
    std::string holderPath = GetRecordPath(holder);
    CheckValue(*holder, value, holderPath);

    CWriteGate& gate = session.Gate();
    std::string oldText = holder->GetValueText();
    uint32_t oldRaw = holder->GetRawValue();
    {
      CWriteGate::Action action(&gate, WriteOrigin::kCli);
      PropertyEdit edit;
      edit.name = named->name;
      edit.eoc = named->eoc;
      edit.valueText = value;
      edit.typeIndex = -1;
      edit.flagBits = uint8_t(holder->flags & 0x3F);
      ApplyPropertyEdit(doc, *named, edit);
    }
    gate.Flush();
    std::string line = Cp1251ToUtf8(holderPath) + ": " + EscapedText(oldText) + " -> " +
                       EscapedText(holder->GetValueText());
    if (holder->GetRawValue() == oldRaw) {
      // The server holds this value already: nothing is sent, nothing to wait for.
      WriteOut(line + " (unchanged)\n");
      session.Disconnect();
      return kExitOk;
    }
    if (gate.StateOf(holder->id) != WriteState::kSent)
      throw CliError(kExitFailure,
                     peer + ": the value could not be sent: " + session.LastError().toStdString());
    if (!gate.JournalError().empty())
      std::fprintf(stderr, "kandrel-cli: %s\n", gate.JournalError().c_str());

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&gate, &CWriteGate::statesChanged, &loop, [&] {
      if (gate.StateOf(holder->id) != WriteState::kSent) loop.quit();
    });
    QObject::connect(&session, &CBaseSession::disconnected, &loop, &QEventLoop::quit);
    deadline.start(timeout * 1000);
    loop.exec();
    if (gate.StateOf(holder->id) == WriteState::kConfirmed) {
      session.Disconnect();
      WriteOut(line + " (confirmed)\n");
      return kExitOk;
    }
    // Ending the connection settles the write as unconfirmed, in the journal too.
    session.Disconnect();
    WriteOut(line + " (unconfirmed)\n");
    std::fprintf(stderr, "kandrel-cli: %s: the server did not confirm the value within %d s\n",
                 peer.c_str(), timeout);
    return kExitProblems;
  }
};

}  // namespace

std::unique_ptr<Command> MakeSetCommand() {
  return std::make_unique<SetCommand>();
}
