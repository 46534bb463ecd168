// One client of kandrel-sim: its socket and its two directions of the message stream.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <unordered_map>

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

  // A value told to this client with message 203. The editor answers every new value it is
  // told with the same 203; taken as a setting, an answer that comes after the value has moved
  // on would put the older value back and be confirmed to every client, whose answers would
  // put the newer one back again: values would chase each other for ever, faster with each
  // tick. So answers are recognised and not taken.
  void NoteValueTold(uint32_t id, uint32_t raw);
  // True when the client's 203 (id, raw) answers a value told to it; that value and those told
  // before it are forgotten.
  bool TakeAnswer(uint32_t id, uint32_t raw);

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
  // The last values told per property and not answered yet, oldest first: enough for a client
  // that answers a second and a half late at ten changes a second. A client that never answers
  // costs under a hundred bytes per moving property.
  struct Told {
    std::array<uint32_t, 16> raw{};
    uint8_t count = 0;
  };
  std::unordered_map<uint32_t, Told> told_;
};
