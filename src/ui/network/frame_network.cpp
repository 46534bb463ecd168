#include "ui/network/frame_network.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <algorithm>
#include <utility>

#include "model/cp1251.h"
#include "model/document.h"
#include "net/base_session.h"
#include "net/net_format.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/compare/compare_owner.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/form/property_form.h"
#include "ui/network/journal_dock.h"
#include "ui/network/net_connect_dlg.h"
#include "ui/network/write_preview_dlg.h"
#include "ui/network/write_state_marks.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/watch_dock.h"
#include "ui/watch/watch_model.h"

namespace {

// Stands for the base download in the edit history. The session has already put the server's
// groups into the document when it runs; it brings the views and the frame up to date.
class BaseDownloadCommand : public CEditCommand {
 public:
  bool Execute(EditContext&) override { return true; }
};

}  // namespace

int BaseTimeoutSeconds() {
  bool ok = false;
  qlonglong seconds =
      QSettings().value(kBaseTimeoutKey, kDefaultBaseTimeoutSeconds).toLongLong(&ok);
  // Too short and no base of a real plant comes in time; too long overflows the timer.
  return ok ? int(std::clamp<qlonglong>(seconds, 5, 3600)) : kDefaultBaseTimeoutSeconds;
}

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
  // Asked once the message has been handled, not in the middle of reading the connection.
  connect(session_.get(), &CBaseSession::unaskedBaseArrived, this,
          &FrameNetwork::AskAboutUnaskedBase, Qt::QueuedConnection);
  connect(session_.get(), &CBaseSession::valuesResynced, this, [this](int changed, int) {
    QString text = tr("Переподключено; значений изменилось за время отключения: %1").arg(changed);
    // Writes the lost connection left without an answer: the user checks them.
    std::vector<ValueWrite> lost = gate().TakeLost();
    if (!lost.empty()) {
      QStringList paths;
      for (const ValueWrite& w : lost)
        if (paths.size() < 5) paths << QString::fromStdString(Cp1251ToUtf8(w.path));
      if (lost.size() > 5) paths << QStringLiteral("…");
      text += tr("; записи без подтверждения: %1 (%2)").arg(lost.size()).arg(paths.join(", "));
    }
    frame_->statusBar()->showMessage(text, lost.empty() ? 10000 : 0);
    emit valuesCaughtUp(changed);
  });

  // Every value leaves through the gate: the user sees a batch before it goes.
  CWriteGate& writes = gate();
  writes.SetPreview([this](const std::vector<ValueWrite>& batch) { return PreviewBatch(batch); });
  writes.SetConfirmEach(QSettings().value(kConfirmEachWriteKey, false).toBool());
  connect(&writes, &CWriteGate::statesChanged, this, &FrameNetwork::OnStatesChanged);
  connect(&writes, &CWriteGate::batchHeld, this, [this](int count) {
    frame_->statusBar()->showMessage(
        gate().Mode() == WriteMode::kMonitorOnly
            ? tr("Только наблюдение: не отправлено значений: %1").arg(count)
            : tr("Запись отменена: не отправлено значений: %1").arg(count),
        10000);
  });
  connect(&writes, &CWriteGate::batchSent, this, [this](int, bool journalFailed) {
    if (journalFailed)
      frame_->statusBar()->showMessage(
          tr("Журнал записи не записан: %1").arg(QString::fromStdString(gate().JournalError())));
  });

  monitorOnly_ = new QAction(tr("Только наблюдение"), this);
  monitorOnly_->setObjectName(QStringLiteral("actionMonitorOnly"));
  monitorOnly_->setCheckable(true);
  monitorOnly_->setStatusTip(tr("Ничего не отправлять на сервер; изменения остаются в документе"));
  connect(monitorOnly_, &QAction::triggered, this,
          [this](bool on) { SetWriteMode(on ? WriteMode::kMonitorOnly : WriteMode::kWrite); });
  confirmEach_ = new QAction(tr("Подтверждать каждую запись"), this);
  confirmEach_->setObjectName(QStringLiteral("actionConfirmEachWrite"));
  confirmEach_->setCheckable(true);
  confirmEach_->setChecked(writes.ConfirmEach());
  connect(confirmEach_, &QAction::toggled, this, [this](bool on) {
    gate().SetConfirmEach(on);
    QSettings().setValue(kConfirmEachWriteKey, on);
  });
  if (auto* menu = frame_->menuBar()->findChild<QMenu*>(QStringLiteral("menuNetwork"))) {
    menu->addSeparator();
    menu->addAction(monitorOnly_);
    menu->addAction(confirmEach_);
  }
}

CWriteGate& FrameNetwork::gate() {
  return session_->Gate();
}

QString FrameNetwork::Peer() const {
  return QStringLiteral("%1:%2")
      .arg(QString::fromStdString(session_->GetAddress()))
      .arg(session_->GetPort());
}

bool FrameNetwork::PreviewBatch(const std::vector<ValueWrite>& batch) {
  CWritePreviewDlg dlg(batch, Peer(), frame_);
  return RunModal(dlg) == QDialog::Accepted;
}

void FrameNetwork::SetWriteMode(WriteMode mode) {
  CWriteGate& writes = gate();
  writes.SetMode(mode);
  monitorOnly_->setChecked(mode == WriteMode::kMonitorOnly);
  if (session_->IsConnected())
    CNetConnectToDlg::RememberMode(session_->GetAddress(), session_->GetPort(), mode);
  frame_->UpdateActions();
  if (mode != WriteMode::kWrite || !session_->IsConnected()) return;
  std::vector<ValueWrite> held = writes.NotSent();
  if (held.empty()) return;
  CWritePreviewDlg dlg(held, Peer(), frame_);
  dlg.SetQuestion(tr("Значения, изменённые в режиме наблюдения и не отправленные на сервер: %1. "
                     "Записать их сейчас?")
                      .arg(held.size()));
  dlg.SetCancelText(tr("Оставить в документе"));
  if (RunModal(dlg) == QDialog::Accepted) writes.SendNotSent();
}

void FrameNetwork::AttachViews() {
  auto marks = [this](uint32_t id, int role) { return WriteStateData(gate().StateOf(id), role); };
  frame_->GetTreeView()->recordModel()->SetValueMarks(marks);
  if (frame_->watchDock()) frame_->watchDock()->model()->SetValueMarks(marks);

  journalDock_ = new CJournalDock(frame_);
  frame_->addDockWidget(Qt::BottomDockWidgetArea, journalDock_);
  if (frame_->watchDock()) frame_->tabifyDockWidget(frame_->watchDock(), journalDock_);
  journalDock_->hide();
  QAction* shown = journalDock_->toggleViewAction();
  shown->setObjectName(QStringLiteral("actionViewJournal"));
  if (auto* menu = frame_->menuBar()->findChild<QMenu*>(QStringLiteral("menuNetwork")))
    menu->addAction(shown);
  auto reload = [this] {
    if (journalDock_->isVisible()) journalDock_->ScheduleReload();
  };
  connect(&gate(), &CWriteGate::statesChanged, journalDock_, reload);
  connect(session_.get(), &CBaseSession::disconnected, journalDock_, reload);
}

void FrameNetwork::OnStatesChanged(const QList<quint32>& ids) {
  for (quint32 id : ids) {
    if (CRecord* r = frame_->document().LookupRecord(id))
      frame_->GetTreeView()->recordModel()->RefreshValue(r);
    if (frame_->watchDock()) frame_->watchDock()->model()->ValueMarkChanged(id);
  }
  frame_->GetFormView()->RefreshWriteState();
}

void FrameNetwork::OnConnected() {
  address_ = session_->GetAddress();
  port_ = session_->GetPort();
  reconnect_.ConnectionUp();
  monitorOnly_->setChecked(gate().Mode() == WriteMode::kMonitorOnly);
}

bool FrameNetwork::ConnectTo(const std::string& address, int port, WriteMode mode) {
  gate().SetMode(mode);
  connected_ = session_->Connect(address, port);
  if (connected_) {
    CNetConnectToDlg::RememberMode(address, port, mode);
    OnConnected();
  } else {
    frame_->statusBar()->showMessage(tr("Не удалось подключиться: %1").arg(session_->LastError()));
  }
  frame_->UpdateActions();
  return connected_;
}

FrameNetwork::~FrameNetwork() {
  delete progress_;
}

QString FrameNetwork::StatusText() const {
  if (reconnect_.IsWaiting()) return tr("Переподключение через %1 с").arg(reconnect_.SecondsLeft());
  if (session_->IsConnected())
    return tr("Подключено: %1:%2")
               .arg(QString::fromStdString(session_->GetAddress()))
               .arg(session_->GetPort()) +
           QStringLiteral(" \u2014 ") +
           (session_->Gate().Mode() == WriteMode::kMonitorOnly ? tr("Только наблюдение")
                                                               : tr("Запись"));
  return tr("Нет подключения");
}

void FrameNetwork::OnConnect() {
  CNetConnectToDlg dlg(*session_, frame_);
  dlg.SetGate(&gate());
  RunModal(dlg);
  connected_ = session_->IsConnected();
  if (connected_) OnConnected();
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
  baseTimer_.start(BaseTimeoutSeconds() * 1000);
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
  frame_->GetTreeView()->OpenRootAndGroups();
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

void FrameNetwork::AskAboutUnaskedBase() {
  // While the question is open, a newer base takes the place of the one asked about.
  if (asking_ || !session_->HasUnaskedBase()) return;
  asking_ = true;
  QString peer = QStringLiteral("%1:%2")
                     .arg(QString::fromStdString(session_->GetAddress()))
                     .arg(session_->GetPort());
  QMessageBox box(
      QMessageBox::Question, QStringLiteral("Kandrel"),
      tr("Сервер %1 прислал базу, которую не запрашивали. Документ пока не изменён.").arg(peer),
      QMessageBox::NoButton, frame_);
  box.setObjectName(QStringLiteral("unaskedBaseDialog"));
  box.setInformativeText(
      tr("Заменить документ этой базой, сравнить с ней или оставить всё как есть?"));
  QPushButton* replace = box.addButton(tr("Заменить документ"), QMessageBox::DestructiveRole);
  replace->setObjectName(QStringLiteral("replaceBaseButton"));
  QPushButton* compare = box.addButton(tr("Сравнить"), QMessageBox::ActionRole);
  compare->setObjectName(QStringLiteral("compareBaseButton"));
  QPushButton* ignore = box.addButton(tr("Не заменять"), QMessageBox::RejectRole);
  ignore->setObjectName(QStringLiteral("ignoreBaseButton"));
  // Unsaved changes are kept unless the user says otherwise.
  box.setDefaultButton(frame_->isWindowModified() ? ignore : replace);
  box.setEscapeButton(ignore);
  RunModal(box);
  asking_ = false;
  QAbstractButton* answer = box.clickedButton();
  if (answer == replace && frame_->MaySwitchDocument()) {
    session_->ReplaceWithUnaskedBase();
  } else if (answer == compare) {
    if (std::unique_ptr<CTarnelDoc> base = session_->TakeUnaskedBase())
      frame_->compare()->CompareWithServerBase(std::move(base));
  } else {
    session_->DropUnaskedBase();
    frame_->statusBar()->showMessage(tr("База, которую не запрашивали, не принята"), 8000);
  }
}
