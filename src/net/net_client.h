// The client end of the editor's one connection to a server: connects, sends messages,
// decodes incoming ones on the Qt event loop as their bytes become whole, answers the control
// messages itself and hands every other message to its owner.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/net_format.h"

class QEventLoop;
class QTcpSocket;
class CNetMessage;
class CNetMessageStream;

// The system's milliseconds since start, modulo 2^32: what the round-trip probe carries.
uint32_t NetTickCount();

class CNetClient : public QObject {
  Q_OBJECT

 public:
  explicit CNetClient(QObject* parent = nullptr);
  // Says goodbye (-4) when connected and closes, without calling OnConnectionClosed.
  ~CNetClient() override;

  // Closes any connection first (OnConnectionClosed with reason 0, even when none was open),
  // then connects. Returns once connected, refused or timed out; the event loop keeps running
  // meanwhile, so the window stays alive. Not to be called again while it runs (that call
  // returns false), and the client must not be destroyed meanwhile.
  bool Connect(const std::string& address, int port);
  // Sends -4 when connected, closes, and calls OnConnectionClosed with reason 0.
  void Disconnect();
  bool IsConnected() const { return socket_ != nullptr; }
  // Encodes and flushes one message. False when not connected, when a record element has no
  // record (nothing is sent then), or when writing fails (the connection then closes with
  // reason 3).
  bool Send(const CNetMessage& message);
  // Called when bytes wait (error 0) or the socket failed (any other value): decodes and
  // dispatches every whole message.
  void HandleReadable(int error);
  // Starts the numbering of records afresh in both directions, keeping the connection and
  // any bytes already received. False when not connected.
  bool ReopenStreams();

  const std::string& GetAddress() const { return address_; }
  int GetPort() const { return port_; }
  // "address:port: cause": why the last Connect failed or the last connection ended (empty
  // after a successful Connect until then).
  const QString& LastError() const { return lastError_; }

  void SetConnectTimeout(int milliseconds) { connectTimeout_ = milliseconds; }
  // Bytes that may wait for a peer that does not read before sending counts as failed.
  void SetMaxPendingOutput(size_t bytes) { maxPendingOutput_ = bytes; }
  // Replaces NetTickCount for the round-trip computation.
  void SetTickSource(std::function<uint32_t()> tick) { tick_ = std::move(tick); }

 signals:
  // `count` bytes came in; for progress and inactivity timeouts.
  void bytesArrived(qint64 count);

 protected:
  // Every message that is not a control message handled here (-4 included).
  virtual void OnMessageReceived(CNetMessage& message) = 0;
  // After the connection has been torn down; reasons in net::DisconnectReason.
  virtual void OnConnectionClosed(int reason) = 0;
  virtual void OnRoundTrip(uint32_t elapsedMs) {}

 private:
  // orderly: queued bytes still leave; otherwise they are dropped.
  void TearDown(bool orderly);
  // Writes -4 when connected, reporting nothing whatever happens.
  void SayGoodbye();
  void Close(int reason, const QString& cause);
  void Dispatch(CNetMessage& message);
  void DecodeBuffered();
  void OnSocketError();
  void OnPeerClosed();
  QString Peer() const;

  std::string address_;
  int port_ = 0;
  QTcpSocket* socket_ = nullptr;  // a child of this client; deleted once its signals are done
  std::unique_ptr<CNetMessageStream> stream_;
  // Counts teardowns, so a loop over messages notices that a callback closed the connection.
  uint64_t generation_ = 0;
  QEventLoop* connectLoop_ = nullptr;
  bool sending_ = false;
  bool sendFailed_ = false;
  int connectTimeout_ = 5000;
  size_t maxPendingOutput_ = net::kMaxPendingOutput;
  std::function<uint32_t()> tick_;
  QString lastError_;
};
