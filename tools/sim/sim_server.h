// kandrel-sim's server: serves the base of one document to every client that asks, applies
// the values clients send, answers as a runtime would, and can move numeric values by itself.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <string>
#include <vector>

#include "model/document.h"

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

  // Port 0 picks a free one. False with `error` set when the address cannot be taken.
  bool Listen(const QHostAddress& address, quint16 port, QString* error);
  quint16 Port() const { return server_.serverPort(); }
  int ClientCount() const { return int(peers_.size()); }

  // Periodic work; 0 turns it off.
  void SetTickInterval(int ms);
  void SetProbeInterval(int ms);
  // One round of value changes: the next few numeric properties move and go out as 203.
  void Tick();
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
  void OnMessage(CSimPeer* peer, CNetMessage* message);
  void Drop(CSimPeer* peer, const QString& why);
  void SendBase(CSimPeer* peer);
  void TakeRawValue(const CNetMessage& message);
  void TakeValueText(const CNetMessage& message);
  void Broadcast(const CNetMessage& message);
  void CollectNumeric();

  CTarnelDoc doc_;
  QTcpServer server_;
  std::vector<CSimPeer*> peers_;  // children of this server
  QTimer tickTimer_;
  QTimer probeTimer_;
  std::vector<uint32_t> numeric_;  // identifiers of the properties that Tick moves
  size_t tickCursor_ = 0;
};
