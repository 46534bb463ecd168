// The frame's side of the server connection: the three "Сеть" commands, the connected flag
// their enable rules test, and the base session's signals turned into view updates.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>

#include "net/monitor/reconnect_schedule.h"
#include "net/write_gate.h"

class CBaseSession;
class QAction;
class CMainFrame;
class CProgressDialog;

// How long "Получить базу" waits for a whole base (seconds) and where that is set.
inline constexpr int kDefaultBaseTimeoutSeconds = 120;
inline constexpr char kBaseTimeoutKey[] = "network/baseTimeoutSeconds";
// "Подтверждать каждую запись": single values are previewed too.
inline constexpr char kConfirmEachWriteKey[] = "network/confirmEachWrite";
// The setting, kept within 5 s..1 h (the default when it is not a number).
int BaseTimeoutSeconds();

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
  CWriteGate& gate();

  // Connects as "Подключиться" does, without the dialog, in the mode given (the command line's
  // --connect). False with the reason in the status bar when it fails.
  bool ConnectTo(const std::string& address, int port, WriteMode mode);
  // "Только наблюдение" on or off. Leaving it lists the values held back and asks whether to
  // send them now ("Записать") or keep them only in the document.
  void SetWriteMode(WriteMode mode);
  QAction* monitorOnlyAction() const { return monitorOnly_; }
  QAction* confirmEachAction() const { return confirmEach_; }
  // Once the frame's views exist: the tree's value column, the watch list and the form show
  // where values stand, and the "Журнал записи" dock joins the window (hidden; "Сеть" shows it).
  void AttachViews();
  class CJournalDock* journalDock() const {
    return journalDock_;
  }

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
  // A base nobody asked for was kept aside: the user chooses once what becomes of it.
  void AskAboutUnaskedBase();
  // No whole base within the limit: the request is given up with the connection.
  void OnBaseTimeout();
  void OnConnectionEnded(int reason);
  void OnAttemptDue();
  // "Отмена" while the base comes: it is dropped when it arrives; the document stays.
  void OnBaseCancelled();
  void EndProgress();
  // The batch of values about to go: "Записать" or "Отмена".
  bool PreviewBatch(const std::vector<ValueWrite>& batch);
  void OnStatesChanged(const QList<quint32>& ids);
  void OnConnected();
  QString Peer() const;

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
  QAction* monitorOnly_ = nullptr;
  QAction* confirmEach_ = nullptr;
  class CJournalDock* journalDock_ = nullptr;
  bool asking_ = false;  // the question about an unasked base is open
};
