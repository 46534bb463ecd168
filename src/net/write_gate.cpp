#include "net/write_gate.h"

#include <algorithm>

#include "model/document.h"
#include "model/records.h"
#include "model/value_types.h"
#include "net/base_session.h"
#include "net/journal/write_journal.h"

namespace {

// The text a pattern reads as for its type, the way a value from the server is shown.
std::string TextOf(uint8_t typeCode, uint32_t raw) {
  CPropertyItem shown;
  shown.typeCode = typeCode;
  shown.InitRawValue(raw);
  shown.UpdateTextFromRaw(std::to_string(raw));
  return shown.valueText;
}

}  // namespace

const char* WriteOriginName(WriteOrigin origin) {
  switch (origin) {
    case WriteOrigin::kApply:
      return "apply";
    case WriteOrigin::kBulk:
      return "bulk";
    case WriteOrigin::kPaste:
      return "paste";
    case WriteOrigin::kTakeover:
      return "takeover";
    case WriteOrigin::kSend:
      return "send";
    case WriteOrigin::kUndo:
      return "undo";
    case WriteOrigin::kRedo:
      return "redo";
    case WriteOrigin::kSave:
      return "save";
    case WriteOrigin::kWatch:
      return "watch";
    case WriteOrigin::kCli:
      return "cli";
  }
  return "apply";
}

CWriteGate::CWriteGate(CBaseSession& session) : QObject(&session), session_(session) {}

CWriteGate::~CWriteGate() = default;

CWriteGate::Action::Action(CWriteGate* gate, WriteOrigin origin)
    : gate_(gate), previous_(gate ? gate->origin_ : WriteOrigin::kApply) {
  if (gate_) gate_->origin_ = origin;
}

CWriteGate::Action::~Action() {
  if (gate_) gate_->origin_ = previous_;
}

bool CWriteGate::Connected() const {
  return session_.IsConnected();
}

std::string CWriteGate::ServerName() const {
  return session_.GetAddress() + ":" + std::to_string(session_.GetPort());
}

void CWriteGate::SetMode(WriteMode mode) {
  mode_ = mode;
}

void CWriteGate::Collect(const CPropertyItem& p, uint32_t previousRaw) {
  // Without a connection a change is an edit of the document and nothing more.
  if (!Connected()) return;
  // A property changed again within the action keeps its first entry (and its old value).
  if (batchIds_.insert(p.id).second) {
    ValueWrite w;
    w.id = p.id;
    w.typeCode = p.typeCode;
    // What the server has: a value heard from it, else what the document held before (the
    // value still waiting from an earlier change when there is one).
    auto tracked = tracked_.find(p.id);
    auto heard = heard_.find(p.id);
    if (tracked != tracked_.end() && tracked->second.state == WriteState::kNotSent)
      w.oldRaw = tracked->second.write.oldRaw;
    else
      w.oldRaw = heard != heard_.end() ? heard->second : previousRaw;
    w.oldText = TextOf(p.typeCode, w.oldRaw);
    w.origin = origin_;
    batch_.push_back(std::move(w));
  }
  if (!flushQueued_) {
    flushQueued_ = true;
    // Queued with the gate as context: the batch leaves after the action that changed the
    // values has returned, and is dropped with the gate.
    QMetaObject::invokeMethod(this, &CWriteGate::Flush, Qt::QueuedConnection);
  }
}

void CWriteGate::Flush() {
  flushQueued_ = false;
  if (dispatching_ || batch_.empty()) return;
  std::vector<ValueWrite> batch;
  batch.swap(batch_);
  batchIds_.clear();
  CTarnelDoc& doc = session_.Document();
  // The values as the action left them; one changed back to what the server has goes nowhere.
  std::vector<ValueWrite> out;
  for (ValueWrite& w : batch) {
    const CPropertyItem* p = AsProperty(doc.LookupRecord(w.id));
    if (!p) continue;
    w.path = GetRecordPath(p);
    w.typeCode = p->typeCode;
    w.newRaw = p->GetRawValue();
    w.newText = p->GetValueText();
    if (w.newRaw == w.oldRaw) {
      auto t = tracked_.find(w.id);
      if (t != tracked_.end() && t->second.state == WriteState::kNotSent) {
        tracked_.erase(t);
        emit statesChanged({w.id});
      }
      continue;
    }
    out.push_back(std::move(w));
  }
  Dispatch(std::move(out));
}

int CWriteGate::Submit(std::vector<ValueWrite> batch) {
  for (ValueWrite& w : batch)
    if (w.oldText.empty()) w.oldText = TextOf(w.typeCode, w.oldRaw);
  return Dispatch(std::move(batch));
}

int CWriteGate::Dispatch(std::vector<ValueWrite> batch) {
  if (batch.empty() || !Connected()) return 0;
  if (mode_ == WriteMode::kMonitorOnly) {
    Hold(batch);
    return 0;
  }
  if (preview_ && (batch.size() > 1 || confirmEach_)) {
    dispatching_ = true;
    bool go = preview_(batch);
    dispatching_ = false;
    // The preview runs the event loop: the connection may have gone meanwhile, and values
    // changed meanwhile wait for their own turn.
    if (!batch_.empty() && !flushQueued_) {
      flushQueued_ = true;
      QMetaObject::invokeMethod(this, &CWriteGate::Flush, Qt::QueuedConnection);
    }
    if (!go || !Connected() || mode_ == WriteMode::kMonitorOnly) {
      Hold(batch);
      return 0;
    }
  }
  return Send(batch);
}

void CWriteGate::Hold(const std::vector<ValueWrite>& batch) {
  QList<quint32> ids;
  for (const ValueWrite& w : batch) {
    Tracked& t = tracked_[w.id];
    t.state = WriteState::kNotSent;
    t.write = w;
    t.order = ++order_;
    ids.push_back(w.id);
  }
  emit statesChanged(ids);
  emit batchHeld(int(batch.size()));
}

CWriteJournal& CWriteGate::OpenJournal() {
  std::string path = JournalPathFor(session_.GetAddress(), session_.GetPort());
  if (!journal_ || journal_->Path() != path) journal_ = std::make_unique<CWriteJournal>(path);
  return *journal_;
}

JournalEntry CWriteGate::EntryOf(const ValueWrite& w, const char* result, const std::string& time,
                                 const std::string& server) const {
  static const std::string user = JournalUser();
  static const std::string host = JournalHost();
  JournalEntry e;
  e.time = time;
  e.server = server;
  e.user = user;
  e.host = host;
  e.id = w.id;
  e.path = w.path;
  e.type = TypeCodeToName(w.typeCode);
  e.oldText = w.oldText;
  e.newText = w.newText;
  e.origin = WriteOriginName(w.origin);
  e.result = result;
  return e;
}

bool CWriteGate::Journal(const ValueWrite& w, const char* result) {
  return JournalAll({w}, result);
}

bool CWriteGate::JournalAll(const std::vector<ValueWrite>& writes, const char* result) {
  if (!journaling_ || writes.empty()) return true;
  const std::string time = JournalTimeNow(), server = ServerName();
  std::vector<JournalEntry> entries;
  entries.reserve(writes.size());
  for (const ValueWrite& w : writes) entries.push_back(EntryOf(w, result, time, server));
  CWriteJournal& journal = OpenJournal();
  if (journal.AppendAll(entries)) return true;
  journalError_ = journal.LastError();
  return false;
}

int CWriteGate::Send(const std::vector<ValueWrite>& batch) {
  QList<quint32> ids;
  int sent = 0;
  bool journalFailed = false;
  for (const ValueWrite& w : batch) {
    if (!session_.SendRawValue(w.id, w.newRaw)) break;
    ++sent;
    Tracked& t = tracked_[w.id];
    t.state = WriteState::kSent;
    t.write = w;
    t.order = ++order_;
    ids.push_back(w.id);
  }
  // Right after the values went, before anything else can run: one write for the batch.
  journalFailed =
      !JournalAll(std::vector<ValueWrite>(batch.begin(), batch.begin() + sent), kJournalSent);
  if (sent < int(batch.size())) {
    // The connection failed on the way: what did not go is held, as it was not seen going.
    Hold(std::vector<ValueWrite>(batch.begin() + sent, batch.end()));
  }
  if (!ids.empty()) emit statesChanged(ids);
  if (sent > 0) emit batchSent(sent, journalFailed);
  return sent;
}

void CWriteGate::Echo(uint32_t id, uint32_t raw) {
  if (mode_ == WriteMode::kMonitorOnly) return;
  // Queued as every 203 the client sends: it leaves after the message that brought the value.
  QMetaObject::invokeMethod(
      this, [this, id, raw] { session_.SendRawValue(id, raw); }, Qt::QueuedConnection);
}

WriteState CWriteGate::StateOf(uint32_t id) const {
  auto t = tracked_.find(id);
  return t == tracked_.end() ? WriteState::kNone : t->second.state;
}

std::vector<ValueWrite> CWriteGate::NotSent() const {
  std::vector<std::pair<uint64_t, ValueWrite>> held;
  CTarnelDoc& doc = session_.Document();
  for (const auto& [id, t] : tracked_) {
    if (t.state != WriteState::kNotSent) continue;
    ValueWrite w = t.write;
    if (const CPropertyItem* p = AsProperty(doc.LookupRecord(id))) {
      w.newRaw = p->GetRawValue();
      w.newText = p->GetValueText();
      w.path = GetRecordPath(p);
    }
    held.emplace_back(t.order, std::move(w));
  }
  std::sort(held.begin(), held.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<ValueWrite> out;
  for (auto& h : held) out.push_back(std::move(h.second));
  return out;
}

int CWriteGate::SendNotSent() {
  if (mode_ != WriteMode::kWrite || !Connected()) return 0;
  return Send(NotSent());
}

std::vector<ValueWrite> CWriteGate::TakeLost() {
  return std::exchange(lost_, {});
}

void CWriteGate::Resolve(Tracked& t, bool confirmed) {
  t.state = confirmed ? WriteState::kConfirmed : WriteState::kUnconfirmed;
  Journal(t.write, confirmed ? kJournalConfirmed : kJournalUnconfirmed);
}

void CWriteGate::ServerValue(uint32_t id, uint32_t raw) {
  heard_[id] = raw;
  auto it = tracked_.find(id);
  if (it == tracked_.end()) return;
  Tracked& t = it->second;
  if (t.state == WriteState::kSent) {
    // Another value reported means the server kept or took another one than ours.
    Resolve(t, raw == t.write.newRaw);
  } else if (t.state == WriteState::kNotSent) {
    // The document takes the server's value: the change that waited is gone with it.
    tracked_.erase(it);
  } else {
    return;
  }
  emit statesChanged({id});
}

void CWriteGate::ServerText(uint32_t id, const std::string& text) {
  auto it = tracked_.find(id);
  if (it == tracked_.end() || it->second.state != WriteState::kSent) return;
  if (text != it->second.write.newText) return;
  Resolve(it->second, true);
  emit statesChanged({id});
}

void CWriteGate::BaseReplaced() {
  // The base holds the server's values now: a write still under way is settled by it, and
  // the records that waited are gone with the old base.
  CTarnelDoc& doc = session_.Document();
  QList<quint32> ids;
  for (auto& [id, t] : tracked_) {
    ids.push_back(id);
    if (t.state != WriteState::kSent) continue;
    const CPropertyItem* p = AsProperty(doc.LookupRecord(id));
    Resolve(t, p && p->GetRawValue() == t.write.newRaw);
  }
  tracked_.clear();
  heard_.clear();
  batch_.clear();
  batchIds_.clear();
  if (!ids.empty()) emit statesChanged(ids);
}

void CWriteGate::ConnectionClosed() {
  QList<quint32> ids;
  for (auto& [id, t] : tracked_) {
    if (t.state != WriteState::kSent) continue;
    Resolve(t, false);
    lost_.push_back(t.write);
    ids.push_back(id);
  }
  batch_.clear();
  batchIds_.clear();
  heard_.clear();
  if (!ids.empty()) emit statesChanged(ids);
}
