// One client of kandrel-sim: its socket and its two directions of the message stream.
#pragma once

#include <QObject>
#include <QString>

#include "net/message_stream.h"

class QTcpSocket;
class CNetMessage;

class CSimPeer : public QObject {
  Q_OBJECT

 public:
  // Takes the socket (it becomes a child of the peer).
  CSimPeer(QTcpSocket* socket, QObject* parent);

  // "address:port" of the client.
  const QString& Name() const { return name_; }
  // False once the peer is gone or when it stopped taking what is sent (it is then dropped).
  bool Send(const CNetMessage& message);
  // The next message the client sends starts its numbering afresh, as ours does now.
  void ResetTables() { stream_.ResetTables(); }
  // Closes the connection; `gone` is not raised for this.
  void Close();
  bool IsGone() const { return gone_; }
  // Bytes held for this client: the part of a message it has begun to send, and what waits to
  // go out to it.
  size_t Buffered() const;
  // Drops the client; `gone` is raised with `why`.
  void Fail(const QString& why);

 signals:
  void messageReceived(CSimPeer* peer, CNetMessage* message);
  // The client closed, failed or misbehaved; `why` says which.
  void gone(CSimPeer* peer, const QString& why);
  // More bytes are held for the client than before (Buffered grew).
  void bufferGrew(CSimPeer* peer);

 private:
  void OnReadable();

  QTcpSocket* socket_;
  QString name_;
  CNetMessageStream stream_;
  bool gone_ = false;
};
