#include "sim_peer.h"

#include <QTcpSocket>
#include <algorithm>
#include <stdexcept>

#include "model/archive.h"
#include "net/net_format.h"
#include "net/net_message.h"

CSimPeer::CSimPeer(QTcpSocket* socket, QObject* parent) : QObject(parent), socket_(socket) {
  socket_->setParent(this);
  name_ = QStringLiteral("%1:%2").arg(socket_->peerAddress().toString()).arg(socket_->peerPort());
  connect(socket_, &QTcpSocket::readyRead, this, &CSimPeer::OnReadable);
  connect(socket_, &QTcpSocket::disconnected, this, [this] {
    OnReadable();  // what came before the close still counts
    Fail(QStringLiteral("disconnected"));
  });
  connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
    if (e != QAbstractSocket::RemoteHostClosedError) Fail(socket_->errorString());
  });
}

bool CSimPeer::Send(const CNetMessage& message) {
  if (gone_) return false;
  std::string bytes;
  try {
    stream_.Encode(message, &bytes);
  } catch (const std::exception&) {
    return false;
  }
  socket_->write(bytes.data(), qint64(bytes.size()));
  socket_->flush();
  if (size_t(socket_->bytesToWrite()) > net::kMaxPendingOutput) {
    Fail(QStringLiteral("does not take what is sent"));
    return false;
  }
  if (socket_->bytesToWrite() > 0) emit bufferGrew(this);
  return !gone_;
}

void CSimPeer::NoteValueTold(uint32_t id, uint32_t raw) {
  Told& t = told_[id];
  if (t.count == t.raw.size()) {
    std::move(t.raw.begin() + 1, t.raw.end(), t.raw.begin());
    --t.count;
  }
  t.raw[t.count++] = raw;
}

bool CSimPeer::TakeAnswer(uint32_t id, uint32_t raw) {
  auto it = told_.find(id);
  if (it == told_.end()) return false;
  Told& t = it->second;
  auto end = t.raw.begin() + t.count;
  auto at = std::find(t.raw.begin(), end, raw);
  if (at == end) return false;
  std::move(at + 1, end, t.raw.begin());
  t.count = uint8_t(end - (at + 1));
  if (t.count == 0) told_.erase(it);
  return true;
}

size_t CSimPeer::Buffered() const {
  return stream_.Buffered() + size_t(std::max<qint64>(socket_->bytesToWrite(), 0)) +
         size_t(std::max<qint64>(socket_->bytesAvailable(), 0));
}

void CSimPeer::OnReadable() {
  // A socket that is closed has nothing left to read, and reading it would only complain.
  if (gone_ || !socket_->isOpen()) return;
  QByteArray bytes = socket_->readAll();
  if (bytes.isEmpty()) return;
  stream_.Feed(bytes.constData(), size_t(bytes.size()));
  while (!gone_) {
    CNetMessage message;
    try {
      if (!stream_.Next(&message)) {
        // What is left is the beginning of a message, held until the rest comes.
        if (stream_.Buffered() > 0) emit bufferGrew(this);
        return;
      }
    } catch (const ArchiveError& e) {
      Fail(QStringLiteral("damaged message: ") + QString::fromStdString(e.what()));
      return;
    } catch (const std::bad_alloc&) {
      Fail(QStringLiteral("message too large for memory"));
      return;
    }
    emit messageReceived(this, &message);
  }
}

void CSimPeer::Fail(const QString& why) {
  if (gone_) return;
  gone_ = true;
  socket_->abort();
  emit gone(this, why);
}

void CSimPeer::Close() {
  if (gone_) return;
  gone_ = true;
  socket_->flush();
  socket_->disconnectFromHost();
}
