#include "ui/network/write_preview_dlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "model/cp1251.h"
#include "model/value_types.h"

namespace {

QString Text(const std::string& cp1251) {
  return QString::fromStdString(Cp1251ToUtf8(cp1251));
}

}  // namespace

CWritePreviewDlg::CWritePreviewDlg(const std::vector<ValueWrite>& batch, const QString& server,
                                   QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("CWritePreviewDlg"));
  setWindowTitle(tr("Запись на сервер %1").arg(server));
  question_ = new QLabel(tr("Будет записано значений: %1").arg(batch.size()), this);
  question_->setObjectName(QStringLiteral("questionLabel"));
  question_->setWordWrap(true);

  table_ = new QTableWidget(int(batch.size()), 4, this);
  table_->setObjectName(QStringLiteral("writeTable"));
  table_->setHorizontalHeaderLabels(
      {tr("Путь"), tr("Тип"), tr("Значение на сервере"), tr("Новое значение")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  for (int row = 0; row < int(batch.size()); ++row) {
    const ValueWrite& w = batch[size_t(row)];
    const QString cells[4] = {Text(w.path), QString::fromLatin1(TypeCodeToName(w.typeCode)),
                              Text(w.oldText), Text(w.newText)};
    for (int c = 0; c < 4; ++c) table_->setItem(row, c, new QTableWidgetItem(cells[c]));
  }
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  table_->resizeColumnsToContents();

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* write = buttons->addButton(tr("Записать"), QDialogButtonBox::AcceptRole);
  write->setObjectName(QStringLiteral("writeButton"));
  cancel_ = buttons->addButton(tr("Отмена"), QDialogButtonBox::RejectRole);
  cancel_->setObjectName(QStringLiteral("cancelButton"));
  // Nothing goes out by a stray Enter: the safe answer is the default.
  cancel_->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(question_);
  layout->addWidget(table_);
  layout->addWidget(buttons);
  resize(760, 360);
}

void CWritePreviewDlg::SetQuestion(const QString& text) {
  question_->setText(text);
}

void CWritePreviewDlg::SetCancelText(const QString& text) {
  cancel_->setText(text);
}
