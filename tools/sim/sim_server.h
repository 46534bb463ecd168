// kandrel-sim's server: serves the base of one document to every client that asks, applies
// the values clients send, answers as a runtime would, and can move numeric values by itself.
#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/document.h"
#include "sim_motion.h"

class CNetMessage;
class CSimPeer;

class CSimServer : public QObject {
  Q_OBJECT

 public:
  explicit CSimServer(QObject* parent = nullptr);
  ~CSimServer() override;

  // The base served: a new document's groups, or those of a .kdl file (throws
  // DocumentFileError; the base stays as it was).
  void LoadNew();
  void LoadFile(const std::string& path);
  CTarnelDoc& Document() { return doc_; }
  // Only numeric properties whose record path (windows-1251) starts with one of these move;
  // all of them when the list is empty.
  void SetMovePrefixes(std::vector<std::string> prefixes);
  size_t MovingCount() const { return motions_.size(); }

  // Port 0 picks a free one. False with `error` set when the address cannot be taken.
  bool Listen(const QHostAddress& address, quint16 port, QString* error);
  quint16 Port() const { return server_.serverPort(); }
  int ClientCount() const { return int(peers_.size()); }

  // How many clients may be connected at once (more are refused) and how many bytes all
  // clients together may hold in buffers, incoming and outgoing; past that the client that
  // holds the most is dropped.
  void SetLimits(int maxClients, size_t maxBufferBytes);

  // Periodic work; 0 turns it off.
  void SetTickInterval(int ms);
  void SetProbeInterval(int ms);
  // Closes every connection each time this many milliseconds have passed; the server goes on
  // listening, so clients can try their reconnects.
  void SetDropInterval(int ms);
  // Values that clients send are not taken: the sender is told the value kept, so it sees its
  // write unconfirmed.
  void SetReadOnly(bool on) { readOnly_ = on; }
  // One round of value changes: every moving property takes the value its motion has now, and
  // each that changed goes out as 203. TickAt takes the time since the server started.
  void Tick();
  void TickAt(double seconds);
  // Closes every connection without a control message, as a network failure would.
  void DropAllClients();
  // A round-trip probe (-2) with our tick count to every client.
  void Probe();
  // Tells every client that the server goes down (-5) and stops listening.
  void Shutdown();

 signals:
  // One line for the operator: a client came, went or was dropped.
  void logLine(const QString& line);
  void clientCountChanged(int count);

 private:
  void OnNewConnection();
  void OnAcceptError(QAbstractSocket::SocketError error);
  void ResumeAccepting();
  void CheckBudget();
  void OnMessage(CSimPeer* peer, CNetMessage* message);
  void Drop(CSimPeer* peer, const QString& why);
  void SendBase(CSimPeer* peer);
  void TakeRawValue(CSimPeer* peer, const CNetMessage& message);
  void TakeValueText(const CNetMessage& message);
  void Broadcast(const CNetMessage& message);
  // Message 203 to every client, each but the sender noting it so that its answer is
  // recognised.
  void BroadcastValue(uint32_t id, uint32_t raw, CSimPeer* sender = nullptr);
  void CollectMovable();
  double Seconds() const;

  CTarnelDoc doc_;
  QTcpServer server_;
  std::vector<CSimPeer*> peers_;  // children of this server
  QTimer tickTimer_;
  QTimer probeTimer_;
  QTimer dropTimer_;
  QElapsedTimer clock_;
  std::vector<std::string> movePrefixes_;
  std::vector<SimMotion> motions_;                    // the properties that Tick moves
  std::unordered_map<uint32_t, size_t> motionIndex_;  // identifier -> position in motions_
  // Retries accepting a while after the system ran out of descriptors.
  QTimer acceptRetry_;
  bool acceptPaused_ = false;
  bool acceptErrorLogged_ = false;
  bool readOnly_ = false;
  int maxClients_ = 64;
  size_t maxBufferBytes_ = size_t(256) << 20;
};
