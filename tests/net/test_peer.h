// A scripted server for the client tests: listens on 127.0.0.1, takes one client, sends bytes
// or messages with its own record numbering and decodes what the client sends.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <string>
#include <vector>

#include "net/message_stream.h"
#include "net/net_message.h"

// Runs the event loop until `done` holds; false when it still does not after a generous
// deadline (a failing test ends instead of hanging).
template <class Pred>
bool WaitUntil(Pred done, int deadlineMs = 10000) {
  QDeadlineTimer deadline(deadlineMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

// Delivers what was posted (queued calls) without waiting for anything else.
inline void RunPosted() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

class TestPeer {
 public:
  TestPeer();
  ~TestPeer();
  quint16 Port() const { return server_.serverPort(); }

  // Waits for the client's connection.
  bool Accept();
  void SendBytes(const std::string& bytes);
  void Send(const CNetMessage& message);
  // Starts the numbering of records afresh on the sending side.
  void ResetTables() { stream_.ResetTables(); }
  // Decodes what has come in; false when it is no message stream.
  bool Poll();
  bool WaitForMessages(size_t n);
  // Orderly close, as a server that goes away without a control message.
  void Close();
  void StopReading();

  std::vector<CNetMessage> received;
  std::string rawReceived;
  QTcpSocket* socket = nullptr;

 private:
  QTcpServer server_;
  CNetMessageStream stream_;
  bool reading_ = true;
};
