#include "net/net_client.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <new>
#include <stdexcept>
#include <utility>

#include "model/archive.h"
#include "net/message_stream.h"
#include "net/net_message.h"

using namespace net;

namespace {}  // namespace

uint32_t NetTickCount() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

CNetClient::CNetClient(QObject* parent) : QObject(parent), tick_(NetTickCount) {}

CNetClient::~CNetClient() {
  // Nothing may reach the owner from here on: the goodbye goes out quietly or not at all.
  SayGoodbye();
  TearDown(true);
}

QString CNetClient::Peer() const {
  return QStringLiteral("%1:%2").arg(QString::fromStdString(address_)).arg(port_);
}

bool CNetClient::Connect(const std::string& address, int port) {
  if (connectLoop_) return false;
  Disconnect();
  lastError_.clear();
  address_ = address;
  port_ = port;
  if (port <= 0 || port > 65535) {
    lastError_ = Peer() + QStringLiteral(": no such port");
    return false;
  }

  auto* s = new QTcpSocket(this);
  socket_ = s;
  uint64_t generation = generation_;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  connect(s, &QTcpSocket::connected, &loop, &QEventLoop::quit);
  connect(s, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
  s->connectToHost(QString::fromStdString(address), quint16(port));
  if (s->state() != QAbstractSocket::UnconnectedState &&
      s->state() != QAbstractSocket::ConnectedState) {
    timer.start(connectTimeout_);
    connectLoop_ = &loop;
    loop.exec();
    connectLoop_ = nullptr;
  }
  if (generation != generation_) {
    // Disconnect ran while we waited.
    lastError_ = Peer() + QStringLiteral(": connecting was cancelled");
    return false;
  }
  if (s->state() != QAbstractSocket::ConnectedState) {
    if (s->error() != QAbstractSocket::UnknownSocketError || timer.isActive())
      lastError_ = Peer() + QStringLiteral(": ") + s->errorString();
    else
      lastError_ = Peer() + QStringLiteral(": no answer within %1 s").arg(connectTimeout_ / 1000.0);
    TearDown(false);
    return false;
  }
  s->disconnect(&loop);
  stream_ = std::make_unique<CNetMessageStream>();
  connect(s, &QTcpSocket::readyRead, this, [this] { HandleReadable(0); });
  connect(s, &QTcpSocket::errorOccurred, this, &CNetClient::OnSocketError);
  connect(s, &QTcpSocket::disconnected, this, &CNetClient::OnPeerClosed);
  // Bytes that came in before these connections were made raise no second readyRead.
  QMetaObject::invokeMethod(
      this,
      [this, s] {
        if (socket_ == s && s->bytesAvailable() > 0) HandleReadable(0);
      },
      Qt::QueuedConnection);
  return true;
}

void CNetClient::SayGoodbye() {
  if (!stream_ || !socket_) return;
  try {
    std::string bytes;
    stream_->Encode(CNetMessage(kCtlClientLeaves), &bytes);
    sending_ = true;
    socket_->write(bytes.data(), qint64(bytes.size()));
    socket_->flush();
  } catch (const std::exception&) {
  }
  sending_ = false;
}

void CNetClient::Disconnect() {
  SayGoodbye();
  TearDown(true);
  OnConnectionClosed(kReasonDisconnect);
}

void CNetClient::TearDown(bool orderly) {
  ++generation_;
  stream_.reset();
  if (QTcpSocket* s = std::exchange(socket_, nullptr)) {
    s->disconnect(this);
    if (orderly) {
      s->flush();
      s->disconnectFromHost();
    } else {
      s->abort();
    }
    // Deleted later: this may run inside one of the socket's own signals.
    s->deleteLater();
  }
  if (connectLoop_) connectLoop_->quit();
}

void CNetClient::Close(int reason, const QString& cause) {
  lastError_ = cause;
  TearDown(false);
  OnConnectionClosed(reason);
}

bool CNetClient::ReopenStreams() {
  if (!stream_) return false;
  stream_->ResetTables();
  return true;
}

bool CNetClient::Send(const CNetMessage& message) {
  if (!stream_ || !socket_) return false;
  std::string bytes;
  try {
    stream_->Encode(message, &bytes);
  } catch (const std::invalid_argument&) {
    return false;  // nothing was written or numbered
  } catch (const std::exception&) {
    Close(kReasonSendFailed, Peer() + QStringLiteral(": cannot encode a message"));
    return false;
  }
  // A failure that the socket reports while we write is the send's failure.
  sending_ = true;
  sendFailed_ = false;
  qint64 written = socket_->write(bytes.data(), qint64(bytes.size()));
  if (written == qint64(bytes.size())) socket_->flush();
  sending_ = false;
  if (sendFailed_ || written != qint64(bytes.size())) {
    Close(kReasonSendFailed, Peer() + QStringLiteral(": cannot send: ") + socket_->errorString());
    return false;
  }
  if (size_t(socket_->bytesToWrite()) > maxPendingOutput_) {
    Close(kReasonSendFailed, Peer() + QStringLiteral(": the server does not take what is sent"));
    return false;
  }
  return true;
}

void CNetClient::HandleReadable(int error) {
  if (!socket_ || !stream_) return;
  if (error) {
    Close(kReasonReceiveFailed, Peer() + QStringLiteral(": ") + socket_->errorString());
    return;
  }
  uint64_t generation = generation_;
  QByteArray bytes = socket_->readAll();
  if (!bytes.isEmpty()) {
    try {
      stream_->Feed(bytes.constData(), size_t(bytes.size()));
    } catch (const std::bad_alloc&) {
      Close(kReasonReceiveFailed, Peer() + QStringLiteral(": out of memory"));
      return;
    }
    emit bytesArrived(qint64(bytes.size()));
    if (generation != generation_) return;
  }
  DecodeBuffered();
}

void CNetClient::DecodeBuffered() {
  uint64_t generation = generation_;
  while (generation == generation_ && stream_) {
    CNetMessage message;
    try {
      if (!stream_->Next(&message)) return;
    } catch (const ArchiveError& e) {
      Close(kReasonReceiveFailed,
            Peer() + QStringLiteral(": damaged message: ") + QString::fromStdString(e.what()));
      return;
    } catch (const std::bad_alloc&) {
      Close(kReasonReceiveFailed, Peer() + QStringLiteral(": message too large for memory"));
      return;
    }
    try {
      Dispatch(message);
    } catch (const std::exception& e) {
      if (generation == generation_)
        Close(kReasonReceiveFailed, Peer() + QStringLiteral(": cannot take a message: ") +
                                        QString::fromStdString(e.what()));
      return;
    }
  }
}

void CNetClient::Dispatch(CNetMessage& message) {
  switch (message.GetId()) {
    case kCtlServerClose:
      lastError_ = Peer() + QStringLiteral(": the server closed the connection");
      TearDown(true);
      OnConnectionClosed(kReasonServerClose);
      break;
    case kCtlServerShutdown:
      lastError_ = Peer() + QStringLiteral(": the server shut down");
      TearDown(true);
      OnConnectionClosed(kReasonServerShutdown);
      break;
    case kCtlProbe: {
      uint32_t sent = 0;
      message.ReadCounterAt(0, &sent);
      OnRoundTrip(tick_() - sent);
      break;
    }
    case kCtlEcho:
      // Records that only pass through belong to no document: writing them derives patterns
      // that nobody hears of.
      Send(message);
      break;
    default:
      OnMessageReceived(message);
      break;
  }
}

void CNetClient::OnSocketError() {
  if (!socket_) return;
  if (sending_) {
    sendFailed_ = true;
    return;
  }
  if (socket_->error() == QAbstractSocket::RemoteHostClosedError) {
    OnPeerClosed();
    return;
  }
  HandleReadable(int(socket_->error()) + 1);
}

void CNetClient::OnPeerClosed() {
  if (!socket_) return;
  if (sending_) {
    sendFailed_ = true;
    return;
  }
  // What the peer sent before closing still counts: a -1 or -5 among it gives its own reason.
  uint64_t generation = generation_;
  HandleReadable(0);
  if (generation != generation_ || !socket_) return;
  if (stream_ && stream_->Buffered() > 0)
    Close(kReasonReceiveFailed,
          Peer() + QStringLiteral(": the server closed the connection in the middle of a message"));
  else
    Close(kReasonReceiveFailed,
          Peer() + QStringLiteral(": the server closed the connection without notice"));
}
