// The frame's side of the server connection: the three "Сеть" commands, the connected flag
// their enable rules test, and the base session's signals turned into view updates.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

#include "net/monitor/reconnect_schedule.h"

class CBaseSession;
class CMainFrame;
class CProgressDialog;

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
  // A connection the user made and did not end is tried again after it drops.
  CReconnectTimer& reconnect() { return reconnect_; }

 signals:
  // Reconnected and the values brought back in step: how many had changed meanwhile.
  void valuesCaughtUp(int changed);

 private:
  void OnBaseReplaced();
  // No whole base within the limit: the request is given up with the connection.
  void OnBaseTimeout();
  void OnConnectionEnded(int reason);
  void OnAttemptDue();
  // "Отмена" while the base comes: it is dropped when it arrives; the document stays.
  void OnBaseCancelled();
  void EndProgress();

  CMainFrame* frame_;
  std::unique_ptr<CBaseSession> session_;
  bool connected_ = false;
  QTimer baseTimer_;
  // Where the user connected, for trying again.
  std::string address_;
  int port_ = 0;
  CReconnectTimer reconnect_;
  bool attempting_ = false;
  int cancels_ = 0;  // counts "Отключиться", so an attempt running meanwhile gives up
  CProgressDialog* progress_ = nullptr;  // while a base is on its way
};
