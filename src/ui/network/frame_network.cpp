#include "ui/network/frame_network.h"

#include <QSettings>
#include <QStatusBar>
#include <utility>

#include "net/base_session.h"
#include "net/net_format.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/form/property_form.h"
#include "ui/network/net_connect_dlg.h"
#include "ui/tree/structure_tree.h"

namespace {

// Stands for the base download in the edit history. The session has already put the server's
// groups into the document when it runs; it brings the views and the frame up to date.
class BaseDownloadCommand : public CEditCommand {
 public:
  bool Execute(EditContext&) override { return true; }
};

}  // namespace

FrameNetwork::FrameNetwork(CMainFrame* frame)
    : QObject(frame), frame_(frame), session_(std::make_unique<CBaseSession>(frame->document())) {
  // The download becomes one step of the edit history, recorded against the document before it.
  connect(session_.get(), &CBaseSession::aboutToReplaceBase, this,
          [this] { frame_->BeforeExternalChange(); });
  connect(session_.get(), &CBaseSession::baseReplaced, this, &FrameNetwork::OnBaseReplaced);
  // Values the server sends are the runtime's live state, not edits: they do not mark the
  // document modified.
  connect(session_.get(), &CBaseSession::valueTextReceived, this,
          [this](quint32) { frame_->GetFormView()->RefreshForm(); });
  connect(session_.get(), &CBaseSession::rawValueReceived, this,
          [this](quint32 id) { frame_->GetFormView()->RefreshIfShowing(id); });
  connect(session_.get(), &CBaseSession::disconnected, this, [this] {
    baseTimer_.stop();
    EndProgress();
    frame_->UpdateActions();
  });
  connect(session_.get(), &CNetClient::bytesArrived, this, [this](qint64 n) {
    if (progress_) progress_->AddReceived(n);
  });
  baseTimer_.setSingleShot(true);
  connect(&baseTimer_, &QTimer::timeout, this, &FrameNetwork::OnBaseTimeout);
  connect(session_.get(), &CBaseSession::disconnected, this, &FrameNetwork::OnConnectionEnded);
  connect(&reconnect_, &CReconnectTimer::countdown, this, [this](int) { frame_->UpdateActions(); });
  connect(&reconnect_, &CReconnectTimer::attemptDue, this, &FrameNetwork::OnAttemptDue);
  connect(session_.get(), &CBaseSession::valuesResynced, this, [this](int changed, int) {
    frame_->statusBar()->showMessage(
        tr("Переподключено; значений изменилось за время отключения: %1").arg(changed), 10000);
    emit valuesCaughtUp(changed);
  });
}

FrameNetwork::~FrameNetwork() {
  delete progress_;
}

QString FrameNetwork::StatusText() const {
  if (reconnect_.IsWaiting()) return tr("Переподключение через %1 с").arg(reconnect_.SecondsLeft());
  if (session_->IsConnected())
    return tr("Подключено: %1:%2")
        .arg(QString::fromStdString(session_->GetAddress()))
        .arg(session_->GetPort());
  return tr("Нет подключения");
}

void FrameNetwork::OnConnect() {
  CNetConnectToDlg dlg(*session_, frame_);
  RunModal(dlg);
  connected_ = session_->IsConnected();
  if (connected_) {
    address_ = session_->GetAddress();
    port_ = session_->GetPort();
    reconnect_.ConnectionUp();
  }
  frame_->UpdateActions();
}

void FrameNetwork::OnDisconnect() {
  ++cancels_;
  reconnect_.Cancel();
  if (session_->IsConnected()) session_->Disconnect();
  connected_ = session_->IsConnected();
  frame_->UpdateActions();
}

void FrameNetwork::OnGetBase() {
  // Without a connection nothing is sent, so there is nothing to ask either.
  if (!session_->IsConnected()) return;
  if (!frame_->MaySwitchDocument()) return;
  if (!session_->RequestBase()) return;
  // A server that keeps the connection busy (probes, a trickle) without ever completing the
  // base must not keep the request open for ever.
  int seconds = QSettings().value(kBaseTimeoutKey, kDefaultBaseTimeoutSeconds).toInt();
  if (seconds <= 0) seconds = kDefaultBaseTimeoutSeconds;
  baseTimer_.start(seconds * 1000);
  // The size of a base is not known before it has all come: the dialog counts what came.
  EndProgress();
  progress_ = new CProgressDialog(frame_, tr("Получение базы с сервера…"), true);
  connect(progress_, &CProgressDialog::cancelled, this, &FrameNetwork::OnBaseCancelled);
  progress_->Start();
}

void FrameNetwork::OnBaseCancelled() {
  baseTimer_.stop();
  session_->DropRequestedBase();
  EndProgress();
  frame_->statusBar()->showMessage(tr("Получение базы отменено, документ не изменён"), 8000);
}

void FrameNetwork::EndProgress() {
  if (!progress_) return;
  progress_->Finish();
  // It may be its own signal that led here.
  std::exchange(progress_, nullptr)->deleteLater();
}

void FrameNetwork::OnBaseTimeout() {
  EndProgress();
  if (!session_->IsConnected()) return;
  QString peer = QStringLiteral("%1:%2")
                     .arg(QString::fromStdString(session_->GetAddress()))
                     .arg(session_->GetPort());
  int seconds = baseTimer_.interval() / 1000;
  // The connection goes with the request: a base that came later would replace the document
  // when nobody asks for it any more.
  session_->Disconnect();
  connected_ = false;
  frame_->UpdateActions();
  ShowError(frame_, QStringLiteral("Kandrel"),
            tr("Получить базу: сервер %1 не прислал базу целиком за %2 с. Соединение закрыто, "
               "документ не изменён.")
                .arg(peer)
                .arg(seconds));
}

void FrameNetwork::Close() {
  ++cancels_;
  reconnect_.Cancel();
  if (session_->IsConnected()) session_->Disconnect();
}

void FrameNetwork::OnBaseReplaced() {
  baseTimer_.stop();
  EndProgress();
  frame_->AfterExternalChange();
  frame_->AfterTreeRebuilt();
  frame_->RunCommand(std::make_unique<BaseDownloadCommand>());
}

void FrameNetwork::OnConnectionEnded(int reason) {
  // Only a connection the user still wants is tried again: not after "Отключиться" (reason 0,
  // also told when an attempt starts), and not before the user has connected at all.
  if (reason != net::kReasonDisconnect && connected_ && !attempting_ && !address_.empty() &&
      !reconnect_.IsWaiting())
    reconnect_.ConnectionLost();
  frame_->UpdateActions();
}

void FrameNetwork::OnAttemptDue() {
  if (!connected_ || attempting_) return;
  if (CProgressDialog::Busy()) {
    // Connecting runs the event loop in full, and the values that follow would change the
    // document under an open or an import: the attempt waits for it to end.
    QTimer::singleShot(1000, this, &FrameNetwork::OnAttemptDue);
    return;
  }
  int cancels = cancels_;
  attempting_ = true;
  bool up = session_->Connect(address_, port_);
  attempting_ = false;
  if (cancels != cancels_) {
    // "Отключиться" came while the attempt ran.
    if (session_->IsConnected()) session_->Disconnect();
    frame_->UpdateActions();
    return;
  }
  if (!up) {
    reconnect_.ConnectionLost();
    frame_->UpdateActions();
    return;
  }
  reconnect_.ConnectionUp();
  // The document stays; only the values that moved meanwhile are taken over.
  session_->RequestValueResync();
  frame_->UpdateActions();
}
