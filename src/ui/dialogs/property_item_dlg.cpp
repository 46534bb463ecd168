#include "ui/dialogs/property_item_dlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/records.h"
#include "ui/app/modal_runner.h"
#include "ui/form/cp1251_input.h"
#include "ui/form/flag_labels.h"
#include "xml/text_codec.h"

CPropertyItemDlg::CPropertyItemDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CPropertyItemDlg"));
  setWindowTitle(tr("Добавить свойство"));

  // The name frame carries the caption "Static": the label users of this dialog know.
  auto* nameFrame = new QGroupBox(tr("Static"), this);
  nameEdit_ = new QLineEdit(nameFrame);
  nameEdit_->setObjectName(QStringLiteral("nameEdit"));
  (new QVBoxLayout(nameFrame))->addWidget(nameEdit_);

  auto* typeFrame = new QGroupBox(tr("Тип данных"), this);
  typeList_ = new QComboBox(typeFrame);
  typeList_->setObjectName(QStringLiteral("typeList"));
  FillTypeList(typeList_);
  (new QVBoxLayout(typeFrame))->addWidget(typeList_);

  flagList_ = new QListWidget(this);
  flagList_->setObjectName(QStringLiteral("flagList"));
  flagList_->setMinimumWidth(300);

  valueEdit_ = new QPlainTextEdit(this);
  valueEdit_->setObjectName(QStringLiteral("valueEdit"));
  valueEdit_->setTabChangesFocus(true);
  valueEdit_->installEventFilter(this);
  valueEdit_->setPlaceholderText(tr("Значение"));

  auto* apply = new QPushButton(tr("Применить"), this);
  apply->setObjectName(QStringLiteral("applyButton"));
  apply->setDefault(true);
  auto* cancel = new QPushButton(tr("Отменить"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  connect(apply, &QPushButton::clicked, this, &CPropertyItemDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CPropertyItemDlg::reject);

  auto* grid = new QGridLayout(this);
  grid->addWidget(nameFrame, 0, 0);
  grid->addWidget(typeFrame, 0, 1);
  grid->addWidget(flagList_, 1, 0, 2, 1);
  grid->addWidget(valueEdit_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(apply);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 2, 1);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  resize(640, 360);
}

int CPropertyItemDlg::RunModal(CPropertyItem* property) {
  if (!property) return -1;
  property_ = property;
  FillFlagList(flagList_, DialogFlagLabels(), property->flags);
  typeList_->setCurrentIndex(property->typeCode < typeList_->count() ? property->typeCode : -1);
  nameEdit_->setText(FromCp1251(property->name));
  valueEdit_->setPlainText(FromCp1251(property->valueText));
  nameEdit_->setFocus();
  return ::RunModal(*this);
}

bool CPropertyItemDlg::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the value field confirms like "Применить"; Ctrl+Enter starts a new line.
  if (watched == valueEdit_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        !(key->modifiers() & Qt::ControlModifier)) {
      accept();
      return true;
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      valueEdit_->insertPlainText(QStringLiteral("\n"));
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CPropertyItemDlg::accept() {
  if (!property_ || nameEdit_->text().isEmpty()) return;
  std::string name, value;
  if (!EncodeUserText(this, tr("Название"), nameEdit_->text(), &name) ||
      !EncodeUserText(this, tr("Значение"), valueEdit_->toPlainText(), &value))
    return;
  property_->name = std::move(name);
  property_->valueText = std::move(value);
  if (typeList_->currentIndex() >= 0) property_->typeCode = uint8_t(typeList_->currentIndex());
  // Ticked bits are set; bits of entries left unticked stay as they were.
  property_->flags |= TickedFlags(flagList_);
  QDialog::accept();
}
