#include "ui/network/net_connect_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QVBoxLayout>

#include "model/value_types.h"
#include "net/net_client.h"
#include "ui/dialogs/dialog_buttons.h"

CNetConnectToDlg::CNetConnectToDlg(CNetClient& client, QWidget* parent)
    : QDialog(parent), client_(client) {
  setObjectName(QStringLiteral("CNetConnectToDlg"));
  setWindowTitle(tr("Connect to...."));

  auto* line = new QHBoxLayout;
  line->setSpacing(2);
  const int initial[4] = {127, 0, 0, 1};
  for (int i = 0; i < 4; ++i) {
    fields_[i] = new QLineEdit(QString::number(initial[i]), this);
    fields_[i]->setObjectName(QStringLiteral("addressField%1").arg(i));
    fields_[i]->setValidator(new QIntValidator(0, 255, fields_[i]));
    fields_[i]->setMaxLength(3);
    fields_[i]->setAlignment(Qt::AlignCenter);
    fields_[i]->setFixedWidth(fields_[i]->fontMetrics().horizontalAdvance(QStringLiteral("0000")) +
                              12);
    line->addWidget(fields_[i]);
    if (i < 3) line->addWidget(new QLabel(QStringLiteral("."), this));
  }
  line->addWidget(new QLabel(QStringLiteral(":"), this));
  port_ = new QLineEdit(QStringLiteral("6000"), this);
  port_->setObjectName(QStringLiteral("portEdit"));
  port_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port_));
  port_->setFixedWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
  line->addWidget(port_);
  line->addStretch();

  auto* modes = new QHBoxLayout;
  monitorOnly_ = new QRadioButton(tr("Только наблюдение"), this);
  monitorOnly_->setObjectName(QStringLiteral("monitorOnlyButton"));
  monitorOnly_->setToolTip(tr("Значения с сервера приходят, но ничего не отправляется на сервер"));
  write_ = new QRadioButton(tr("Запись"), this);
  write_->setObjectName(QStringLiteral("writeButton"));
  write_->setToolTip(tr("Изменённые значения отправляются на сервер"));
  modes->addWidget(monitorOnly_);
  modes->addWidget(write_);
  modes->addStretch();
  ShowRememberedMode();
  // Each server keeps the mode it was last connected in.
  for (QLineEdit* field : fields_)
    connect(field, &QLineEdit::textEdited, this, &CNetConnectToDlg::ShowRememberedMode);
  connect(port_, &QLineEdit::textEdited, this, &CNetConnectToDlg::ShowRememberedMode);

  error_ = new QLabel(this);
  error_->setObjectName(QStringLiteral("errorLabel"));
  error_->setStyleSheet(QStringLiteral("color: #b00020;"));
  error_->setWordWrap(false);
  error_->hide();

  QDialogButtonBox* buttons = MakeOkCancelButtons(this, tr("Cancel"), &ok_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(line);
  layout->addLayout(modes);
  layout->addWidget(error_);
  layout->addWidget(buttons);
  setMinimumWidth(360);
}

QString CNetConnectToDlg::Address() const {
  return QStringLiteral("%1.%2.%3.%4")
      .arg(fields_[0]->text().toInt())
      .arg(fields_[1]->text().toInt())
      .arg(fields_[2]->text().toInt())
      .arg(fields_[3]->text().toInt());
}

int CNetConnectToDlg::Port() const {
  return AtoI(port_->text().toStdString());
}

WriteMode CNetConnectToDlg::Mode() const {
  return monitorOnly_->isChecked() ? WriteMode::kMonitorOnly : WriteMode::kWrite;
}

void CNetConnectToDlg::SetMode(WriteMode mode) {
  (mode == WriteMode::kMonitorOnly ? monitorOnly_ : write_)->setChecked(true);
}

namespace {

QString ModeKey(const std::string& address, int port) {
  return QStringLiteral("network/writeMode/%1_%2").arg(QString::fromStdString(address)).arg(port);
}

}  // namespace

WriteMode CNetConnectToDlg::RememberedMode(const std::string& address, int port) {
  return QSettings().value(ModeKey(address, port)).toString() == QLatin1String("monitor")
             ? WriteMode::kMonitorOnly
             : WriteMode::kWrite;
}

void CNetConnectToDlg::RememberMode(const std::string& address, int port, WriteMode mode) {
  QSettings().setValue(ModeKey(address, port), mode == WriteMode::kMonitorOnly
                                                   ? QStringLiteral("monitor")
                                                   : QStringLiteral("write"));
}

void CNetConnectToDlg::ShowRememberedMode() {
  SetMode(RememberedMode(Address().toStdString(), Port()));
}

void CNetConnectToDlg::accept() {
  if (client_.IsConnected()) return;  // already connected: the dialog stays as it is
  int port = Port();
  error_->hide();
  ok_->setEnabled(false);  // the attempt keeps the event loop running; no second one meanwhile
  ok_->setText(QStringLiteral("…"));
  if (gate_) gate_->SetMode(Mode());
  bool connected = client_.Connect(Address().toStdString(), port);
  ok_->setText(tr("OK"));
  ok_->setEnabled(true);
  if (connected) {
    RememberMode(Address().toStdString(), port, Mode());
    QDialog::accept();
    return;
  }
  QString why = client_.LastError();
  error_->setText(tr("Не удалось подключиться: %1")
                      .arg(why.isEmpty() ? QStringLiteral("%1:%2").arg(Address()).arg(port) : why));
  error_->show();
}
