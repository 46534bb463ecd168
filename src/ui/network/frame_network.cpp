#include "ui/network/frame_network.h"

#include "net/base_session.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
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
  connect(session_.get(), &CBaseSession::disconnected, this, [this] { frame_->UpdateActions(); });
}

FrameNetwork::~FrameNetwork() = default;

QString FrameNetwork::StatusText() const {
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
  frame_->UpdateActions();
}

void FrameNetwork::OnDisconnect() {
  if (session_->IsConnected()) session_->Disconnect();
  connected_ = session_->IsConnected();
  frame_->UpdateActions();
}

void FrameNetwork::OnGetBase() {
  // Without a connection nothing is sent, so there is nothing to ask either.
  if (!session_->IsConnected()) return;
  if (!frame_->MaySwitchDocument()) return;
  session_->RequestBase();
}

void FrameNetwork::Close() {
  if (session_->IsConnected()) session_->Disconnect();
}

void FrameNetwork::OnBaseReplaced() {
  frame_->AfterExternalChange();
  frame_->AfterTreeRebuilt();
  frame_->RunCommand(std::make_unique<BaseDownloadCommand>());
}
