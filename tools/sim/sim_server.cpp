#include "sim_server.h"

#include <QTcpSocket>
#include <algorithm>
#include <cstring>

#include "model/records.h"
#include "model/value_types.h"
#include "net/net_client.h"
#include "net/net_format.h"
#include "net/net_message.h"
#include "net/value_message.h"
#include "sim_peer.h"

using namespace net;

namespace {

// Records made while this lives report no value changes: the server's copy is its own, and
// its changes go out only as the messages it sends on purpose.
class NoValueChangedSink {
 public:
  NoValueChangedSink() : saved_(GetThreadValueChangedSink()) { SetThreadValueChangedSink(nullptr); }
  ~NoValueChangedSink() { SetThreadValueChangedSink(saved_); }

 private:
  IValueChangedSink* saved_;
};

// How many properties one tick moves.
constexpr size_t kPerTick = 8;

uint32_t NextValue(const CPropertyItem& p) {
  uint32_t raw = p.GetRawValue();
  switch (p.typeCode) {
    case kTypeByte:
      return (raw + 1) & 0xFF;
    case kTypeShort:
      return (raw + 1) & 0xFFFF;
    case kTypeInt:
      return raw + 1;
    default: {  // FLOAT and DOUBLE hold a float pattern
      float f;
      std::memcpy(&f, &raw, 4);
      f = f >= 1000.0f || f != f ? -1000.0f : f + 0.25f;
      std::memcpy(&raw, &f, 4);
      return raw;
    }
  }
}

bool IsNumeric(int type) {
  return type >= kTypeByte && type <= kTypeDouble;
}

void CollectNumericIn(const CRecord* r, std::vector<uint32_t>* out) {
  switch (GetKind(r)) {
    case kKindGroup:
    case kKindObject:
      for (const auto& c : static_cast<const CChildHolder*>(r)->children)
        CollectNumericIn(c.get(), out);
      break;
    case kKindAtom:
      for (const auto& p : static_cast<const CAtom*>(r)->properties)
        if (IsNumeric(p->typeCode)) out->push_back(p->id);
      break;
    default:
      break;
  }
}

}  // namespace

CSimServer::CSimServer(QObject* parent) : QObject(parent) {
  connect(&server_, &QTcpServer::newConnection, this, &CSimServer::OnNewConnection);
  connect(&tickTimer_, &QTimer::timeout, this, &CSimServer::Tick);
  connect(&probeTimer_, &QTimer::timeout, this, &CSimServer::Probe);
  LoadNew();
}

CSimServer::~CSimServer() {
  for (CSimPeer* p : peers_) p->disconnect(this);
}

void CSimServer::LoadNew() {
  NoValueChangedSink quiet;
  doc_.OnNewDocument();
  doc_.RebuildTree();
  CollectNumeric();
}

void CSimServer::LoadFile(const std::string& path) {
  NoValueChangedSink quiet;
  doc_.OpenFile(path);
  CollectNumeric();
}

void CSimServer::CollectNumeric() {
  numeric_.clear();
  tickCursor_ = 0;
  for (const auto& g : doc_.groups) CollectNumericIn(g.get(), &numeric_);
}

bool CSimServer::Listen(const QHostAddress& address, quint16 port, QString* error) {
  if (server_.listen(address, port)) return true;
  *error = QStringLiteral("%1:%2: %3").arg(address.toString()).arg(port).arg(server_.errorString());
  return false;
}

void CSimServer::SetTickInterval(int ms) {
  if (ms > 0)
    tickTimer_.start(ms);
  else
    tickTimer_.stop();
}

void CSimServer::SetProbeInterval(int ms) {
  if (ms > 0)
    probeTimer_.start(ms);
  else
    probeTimer_.stop();
}

void CSimServer::OnNewConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    auto* peer = new CSimPeer(socket, this);
    connect(peer, &CSimPeer::messageReceived, this, &CSimServer::OnMessage);
    connect(peer, &CSimPeer::gone, this, &CSimServer::Drop);
    peers_.push_back(peer);
    emit logLine(peer->Name() + QStringLiteral(": connected"));
    emit clientCountChanged(ClientCount());
  }
}

void CSimServer::Drop(CSimPeer* peer, const QString& why) {
  auto it = std::find(peers_.begin(), peers_.end(), peer);
  if (it == peers_.end()) return;
  peers_.erase(it);
  peer->disconnect(this);
  peer->Close();
  peer->deleteLater();
  emit logLine(peer->Name() + QStringLiteral(": ") + why);
  emit clientCountChanged(ClientCount());
}

void CSimServer::OnMessage(CSimPeer* peer, CNetMessage* message) {
  switch (message->GetId()) {
    case kMsgBase:
      SendBase(peer);
      break;
    case kMsgRawValue:
      TakeRawValue(*message);
      break;
    case kMsgValueText:
      TakeValueText(*message);
      break;
    case kCtlEcho:
      peer->Send(*message);
      break;
    case kCtlClientLeaves:
      Drop(peer, QStringLiteral("left"));
      break;
    default:
      break;
  }
}

void CSimServer::SendBase(CSimPeer* peer) {
  CNetMessage base(kMsgBase);
  for (const auto& g : doc_.groups) base.Append(CNetMessageData::Record(g.get()));
  {
    // Writing derives each pattern from its text; that is no change to report.
    NoValueChangedSink quiet;
    if (!peer->Send(base)) return;
  }
  // The client starts its numbering afresh once it has the base; so do we, both ways.
  peer->ResetTables();
}

void CSimServer::TakeRawValue(const CNetMessage& message) {
  uint32_t id = 0, raw = 0;
  CPropertyItem* p = ReadRawValueMessage(doc_, message, &id, &raw);
  if (!p || raw == p->GetRawValue()) return;
  p->SetRawValue(raw);
  p->UpdateTextFromRaw(p->GetValueText());
  // A runtime confirms a change to everyone, the sender included.
  CNetMessage answer(kMsgRawValue);
  answer.AppendUInt(id);
  answer.AppendUInt(raw);
  Broadcast(answer);
}

void CSimServer::TakeValueText(const CNetMessage& message) {
  uint32_t id = 0;
  std::string text;
  message.ReadUIntAt(0, &id);
  message.ReadTextAt(2, &text);
  if (CPropertyItem* p = AsProperty(doc_.LookupRecord(id))) p->SetValueText(std::move(text));
}

void CSimServer::Broadcast(const CNetMessage& message) {
  std::vector<CSimPeer*> all = peers_;  // a failed send drops its peer from peers_
  for (CSimPeer* p : all) p->Send(message);
}

void CSimServer::Tick() {
  for (size_t n = 0; n < kPerTick && n < numeric_.size(); ++n) {
    uint32_t id = numeric_[tickCursor_];
    tickCursor_ = (tickCursor_ + 1) % numeric_.size();
    CPropertyItem* p = AsProperty(doc_.LookupRecord(id));
    if (!p) continue;
    p->SetRawValue(NextValue(*p));
    p->UpdateTextFromRaw(p->GetValueText());
    CNetMessage m(kMsgRawValue);
    m.AppendUInt(id);
    m.AppendUInt(p->GetRawValue());
    Broadcast(m);
  }
}

void CSimServer::Probe() {
  CNetMessage probe(kCtlProbe);
  probe.Append(CNetMessageData::Counter(NetTickCount()));
  Broadcast(probe);
}

void CSimServer::Shutdown() {
  server_.close();
  tickTimer_.stop();
  probeTimer_.stop();
  std::vector<CSimPeer*> all = peers_;
  for (CSimPeer* p : all) {
    p->Send(CNetMessage(kCtlServerShutdown));
    p->disconnect(this);
    p->Close();
  }
  peers_.clear();
  emit clientCountChanged(0);
}
