#include "sim_server.h"

#include <QTcpSocket>
#include <algorithm>

#include "model/records.h"
#include "model/value_types.h"
#include "net/net_client.h"
#include "net/net_format.h"
#include "net/net_message.h"
#include "net/value_message.h"
#include "sim_motion.h"
#include "sim_peer.h"

using namespace net;

namespace {

// The movable properties under `r` whose record path starts with one of `prefixes` (all
// when there are none).
void CollectMovable(const CRecord* r, const std::vector<std::string>& prefixes,
                    std::vector<SimMotion>* out) {
  if (const CPropertyItem* p = AsProperty(r)) {
    if (!IsMovable(*p)) return;
    if (!prefixes.empty()) {
      std::string path = GetRecordPath(p);
      if (std::none_of(prefixes.begin(), prefixes.end(),
                       [&](const std::string& x) { return path.starts_with(x); }))
        return;
    }
    out->push_back(MakeMotion(*p));
    return;
  }
  ForEachChild(r, [&](const CRecord* c) { CollectMovable(c, prefixes, out); });
}

}  // namespace

CSimServer::CSimServer(QObject* parent) : QObject(parent) {
  connect(&server_, &QTcpServer::newConnection, this, &CSimServer::OnNewConnection);
  connect(&server_, &QTcpServer::acceptError, this, &CSimServer::OnAcceptError);
  acceptRetry_.setSingleShot(true);
  acceptRetry_.setInterval(1000);
  connect(&acceptRetry_, &QTimer::timeout, this, &CSimServer::ResumeAccepting);
  connect(&tickTimer_, &QTimer::timeout, this, &CSimServer::Tick);
  connect(&probeTimer_, &QTimer::timeout, this, &CSimServer::Probe);
  connect(&dropTimer_, &QTimer::timeout, this, &CSimServer::DropAllClients);
  clock_.start();
  LoadNew();
}

CSimServer::~CSimServer() {
  for (CSimPeer* p : peers_) p->disconnect(this);
}

void CSimServer::LoadNew() {
  doc_.OnNewDocument();
  doc_.RebuildTree();
  CollectMovable();
}

void CSimServer::LoadFile(const std::string& path) {
  doc_.OpenFile(path);
  CollectMovable();
}

void CSimServer::SetMovePrefixes(std::vector<std::string> prefixes) {
  movePrefixes_ = std::move(prefixes);
  CollectMovable();
}

void CSimServer::CollectMovable() {
  motions_.clear();
  motionIndex_.clear();
  for (CBase* g : doc_.Groups()) ::CollectMovable(g, movePrefixes_, &motions_);
  for (size_t i = 0; i < motions_.size(); ++i) motionIndex_[motions_[i].id] = i;
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

void CSimServer::SetDropInterval(int ms) {
  if (ms > 0)
    dropTimer_.start(ms);
  else
    dropTimer_.stop();
}

void CSimServer::SetProbeInterval(int ms) {
  if (ms > 0)
    probeTimer_.start(ms);
  else
    probeTimer_.stop();
}

void CSimServer::SetLimits(int maxClients, size_t maxBufferBytes) {
  maxClients_ = maxClients;
  maxBufferBytes_ = maxBufferBytes;
}

void CSimServer::OnNewConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    if (ClientCount() >= maxClients_) {
      emit logLine(QStringLiteral("%1:%2: refused, %3 clients are connected already")
                       .arg(socket->peerAddress().toString())
                       .arg(socket->peerPort())
                       .arg(ClientCount()));
      socket->abort();
      socket->deleteLater();
      continue;
    }
    acceptErrorLogged_ = false;  // accepting works again: a new shortage is worth a line
    auto* peer = new CSimPeer(socket, this);
    connect(peer, &CSimPeer::messageReceived, this, &CSimServer::OnMessage);
    connect(peer, &CSimPeer::gone, this, &CSimServer::Drop);
    connect(peer, &CSimPeer::bufferGrew, this, &CSimServer::CheckBudget);
    peers_.push_back(peer);
    emit logLine(peer->Name() + QStringLiteral(": connected"));
    emit clientCountChanged(ClientCount());
  }
}

// Out of descriptors (or another failure to accept): trying again at once would only fail
// again, so accepting rests until a client leaves or a second has passed.
void CSimServer::OnAcceptError(QAbstractSocket::SocketError) {
  server_.pauseAccepting();
  if (!acceptErrorLogged_)
    emit logLine(QStringLiteral("cannot accept connections: %1; waiting for one to close")
                     .arg(server_.errorString()));
  acceptErrorLogged_ = true;
  acceptPaused_ = true;
  acceptRetry_.start();
}

void CSimServer::ResumeAccepting() {
  if (!acceptPaused_) return;
  acceptPaused_ = false;
  acceptRetry_.stop();
  server_.resumeAccepting();
}

void CSimServer::CheckBudget() {
  for (;;) {
    size_t total = 0;
    CSimPeer* largest = nullptr;
    size_t largestBytes = 0;
    for (CSimPeer* p : peers_) {
      size_t n = p->Buffered();
      total += n;
      if (n > largestBytes) {
        largest = p;
        largestBytes = n;
      }
    }
    if (total <= maxBufferBytes_ || !largest) return;
    // The client that holds the most goes: the one that sends an endless message or reads
    // nothing, rather than whoever happened to ask last. Failing drops it from peers_.
    largest->Fail(QStringLiteral("dropped: holds %1 KiB, all clients together over %2 KiB")
                      .arg(largestBytes >> 10)
                      .arg(maxBufferBytes_ >> 10));
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
  ResumeAccepting();
}

void CSimServer::OnMessage(CSimPeer* peer, CNetMessage* message) {
  switch (message->GetId()) {
    case kMsgBase:
      SendBase(peer);
      break;
    case kMsgRawValue:
      TakeRawValue(peer, *message);
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
  for (CBase* g : doc_.Groups()) base.Append(CNetMessageData::Record(g));
  {
    // Writing derives each pattern from its text; that is no change to report.
    if (!peer->Send(base)) return;
  }
  // The client starts its numbering afresh once it has the base; so do we, both ways.
  peer->ResetTables();
}

void CSimServer::TakeRawValue(CSimPeer* peer, const CNetMessage& message) {
  uint32_t id = 0, raw = 0;
  CPropertyItem* p = ReadRawValueMessage(doc_, message, &id, &raw);
  // The client's answer to a value we told it is no setting of its own.
  if (!p || peer->TakeAnswer(id, raw)) return;
  if (readOnly_ || raw == p->GetRawValue()) {
    // The sender hears the value kept: its own when nothing changes, so it knows the write
    // arrived, and the old one when writes are not taken, which it answers as any new value.
    uint32_t kept = p->GetRawValue();
    CNetMessage answer(kMsgRawValue);
    answer.AppendUInt(id);
    answer.AppendUInt(kept);
    if (kept != raw) peer->NoteValueTold(id, kept);
    peer->Send(answer);
    return;
  }
  p->SetRawValue(raw);
  p->UpdateTextFromRaw(p->GetValueText());
  if (auto it = motionIndex_.find(p->id); it != motionIndex_.end())
    ContinueFrom(motions_[it->second], raw, Seconds());
  // A runtime confirms a change to everyone, the sender included.
  BroadcastValue(id, raw, peer);
}

void CSimServer::BroadcastValue(uint32_t id, uint32_t raw, CSimPeer* sender) {
  CNetMessage message(kMsgRawValue);
  message.AppendUInt(id);
  message.AppendUInt(raw);
  std::vector<CSimPeer*> all = peers_;  // a failed send drops its peer from peers_
  for (CSimPeer* p : all) {
    // The sender holds the value already and does not answer it; noted, a later write of the
    // same value by it would be taken for an answer.
    if (p != sender) p->NoteValueTold(id, raw);
    p->Send(message);
  }
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

double CSimServer::Seconds() const {
  return double(clock_.elapsed()) / 1000.0;
}

void CSimServer::Tick() {
  TickAt(Seconds());
}

void CSimServer::TickAt(double seconds) {
  for (const SimMotion& m : motions_) {
    CPropertyItem* p = AsProperty(doc_.LookupRecord(m.id));
    if (!p || p->typeCode != m.type) continue;
    uint32_t raw = MotionPattern(m, seconds);
    if (raw == p->GetRawValue()) continue;
    p->SetRawValue(raw);
    p->UpdateTextFromRaw(p->GetValueText());
    BroadcastValue(m.id, raw);
  }
}

void CSimServer::DropAllClients() {
  std::vector<CSimPeer*> all = peers_;
  for (CSimPeer* p : all) Drop(p, QStringLiteral("dropped on purpose"));
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
