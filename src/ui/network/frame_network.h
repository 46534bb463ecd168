// The frame's side of the server connection: the three "Сеть" commands, the connected flag
// their enable rules test, and the base session's signals turned into view updates.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class CBaseSession;
class CMainFrame;

// How long "Получить базу" waits for a whole base (seconds) and where that is set.
inline constexpr int kDefaultBaseTimeoutSeconds = 120;
inline constexpr char kBaseTimeoutKey[] = "network/baseTimeoutSeconds";

class FrameNetwork : public QObject {
  Q_OBJECT
 public:
  explicit FrameNetwork(CMainFrame* frame);
  ~FrameNetwork() override;

  // What the enable rules test: set when the connect dialog closes and by "Отключиться" only,
  // so a connection that dropped by itself still offers "Отключиться".
  bool connected() const { return connected_; }
  // The status-bar text: address and port, or that there is no connection.
  QString StatusText() const;
  CBaseSession& session() { return *session_; }

  void OnConnect();
  void OnDisconnect();
  void OnGetBase();
  // At exit: says goodbye to the server.
  void Close();

 private:
  void OnBaseReplaced();
  // No whole base within the limit: the request is given up with the connection.
  void OnBaseTimeout();

  CMainFrame* frame_;
  std::unique_ptr<CBaseSession> session_;
  bool connected_ = false;
  QTimer baseTimer_;
};
