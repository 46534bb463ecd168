#include "test_peer.h"

TestPeer::TestPeer() {
  server_.listen(QHostAddress::LocalHost, 0);
}

TestPeer::~TestPeer() {
  if (socket) socket->abort();
  delete socket;
}

bool TestPeer::Accept() {
  if (socket) return true;
  if (!WaitUntil([&] { return server_.hasPendingConnections(); })) return false;
  socket = server_.nextPendingConnection();
  socket->setParent(nullptr);
  return true;
}

void TestPeer::SendBytes(const std::string& bytes) {
  socket->write(bytes.data(), qint64(bytes.size()));
  socket->flush();
}

void TestPeer::Send(const CNetMessage& message) {
  std::string bytes;
  stream_.Encode(message, &bytes);
  SendBytes(bytes);
}

bool TestPeer::Poll() {
  if (!socket || !reading_) return true;
  QByteArray bytes = socket->readAll();
  rawReceived.append(bytes.constData(), size_t(bytes.size()));
  stream_.Feed(bytes.constData(), size_t(bytes.size()));
  try {
    for (;;) {
      CNetMessage m;
      if (!stream_.Next(&m)) return true;
      received.push_back(std::move(m));
    }
  } catch (const std::exception&) {
    return false;
  }
}

bool TestPeer::WaitForMessages(size_t n) {
  return WaitUntil([&] { return Poll() && received.size() >= n; });
}

void TestPeer::Close() {
  socket->flush();
  socket->disconnectFromHost();
}

void TestPeer::StopReading() {
  reading_ = false;
  socket->setReadBufferSize(1);
}
