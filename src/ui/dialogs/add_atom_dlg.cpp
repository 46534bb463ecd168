#include "ui/dialogs/add_atom_dlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "model/value_types.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/dialog_buttons.h"
#include "ui/form/cp1251_input.h"
#include "xml/text_codec.h"

namespace {
constexpr int kSpinMin = 0;
constexpr int kSpinMax = 20;
}  // namespace

CAddAtomDlg::CAddAtomDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CAddAtomDlg"));
  setWindowTitle(tr("Добавить атом"));

  auto* nameFrame = new QGroupBox(tr("Название"), this);
  nameEdit_ = new QLineEdit(nameFrame);
  nameEdit_->setObjectName(QStringLiteral("nameEdit"));
  nameEdit_->setMinimumWidth(300);
  (new QVBoxLayout(nameFrame))->addWidget(nameEdit_);

  auto* typeFrame = new QGroupBox(this);
  typeEdit_ = new QLineEdit(typeFrame);
  typeEdit_->setObjectName(QStringLiteral("typeEdit"));
  typeEdit_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), typeEdit_));
  typeEdit_->setMaximumWidth(80);
  typeEdit_->installEventFilter(this);
  spinUp_ = new QToolButton(typeFrame);
  spinUp_->setObjectName(QStringLiteral("spinUp"));
  spinUp_->setArrowType(Qt::UpArrow);
  spinUp_->setAutoRepeat(true);
  spinDown_ = new QToolButton(typeFrame);
  spinDown_->setObjectName(QStringLiteral("spinDown"));
  spinDown_->setArrowType(Qt::DownArrow);
  spinDown_->setAutoRepeat(true);
  for (QToolButton* b : {spinUp_, spinDown_}) b->setFixedSize(18, 12);
  connect(spinUp_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(spinDown_, &QToolButton::clicked, this, [this] { Step(-1); });
  auto* spin = new QVBoxLayout;
  spin->setSpacing(0);
  spin->addWidget(spinUp_);
  spin->addWidget(spinDown_);
  auto* typeLine = new QHBoxLayout(typeFrame);
  typeLine->addWidget(new QLabel(tr("Тип"), typeFrame));
  typeLine->addWidget(typeEdit_);
  typeLine->addLayout(spin);
  typeLine->addStretch();

  QDialogButtonBox* buttons = MakeOkCancelButtons(this, tr("Отменить"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(nameFrame);
  layout->addWidget(typeFrame);
  layout->addWidget(buttons);
}

int CAddAtomDlg::RunModal(std::string* name, uint8_t* type) {
  name_ = name;
  type_ = type;
  nameEdit_->clear();
  typeEdit_->setText(QStringLiteral("0"));
  nameEdit_->setFocus();
  return ::RunModal(*this);
}

void CAddAtomDlg::Step(int delta) {
  // Like a spin bound to its field: it starts from the number shown, held to its range.
  int pos = std::clamp(typeEdit_->text().toInt(), kSpinMin, kSpinMax);
  pos = std::clamp(pos + delta, kSpinMin, kSpinMax);
  typeEdit_->setText(QString::number(pos));
}

bool CAddAtomDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == typeEdit_ && event->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CAddAtomDlg::accept() {
  // An empty atom name is accepted, as it always was.
  std::string name;
  if (!EncodeUserText(this, tr("Название"), nameEdit_->text(), &name)) return;
  if (name_) *name_ = std::move(name);
  if (type_) *type_ = uint8_t(AtoI(typeEdit_->text().toStdString()));
  QDialog::accept();
}
