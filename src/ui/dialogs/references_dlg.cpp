#include "ui/dialogs/references_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/record_search.h"
#include "ui/app/main_frame.h"
#include "xml/text_codec.h"

namespace {
constexpr int kSourceRole = Qt::UserRole;
}

CReferencesDlg::CReferencesDlg(CMainFrame* frame) : QDialog(frame), frame_(frame) {
  setObjectName(QStringLiteral("referencesDialog"));
  setWindowTitle(tr("Ссылки на запись"));
  auto* layout = new QVBoxLayout(this);
  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("referencesTitle"));
  title_->setWordWrap(true);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("referencesList"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText(tr("Закрыть"));
  layout->addWidget(title_);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  connect(list_, &QListWidget::itemActivated, this, &CReferencesDlg::OnActivated);
  connect(list_, &QListWidget::itemDoubleClicked, this, &CReferencesDlg::OnActivated);
  resize(640, 360);
}

void CReferencesDlg::ShowFor(uint32_t recordId) {
  list_->clear();
  const CTarnelDoc& doc = frame_->document();
  const CRecord* record = doc.LookupRecord(recordId);
  if (!record) {
    title_->clear();
    return;
  }
  std::vector<LinkReference> refs = FindReferencesTo(doc, record);
  QString path = FromCp1251(GetRecordPath(record));
  title_->setText(refs.empty() ? tr("На %1 не ссылается ни одно свойство.").arg(path)
                               : tr("Ссылки на %1: %2").arg(path).arg(refs.size()));
  for (const LinkReference& ref : refs) {
    QString source = FromCp1251(GetRecordPath(doc.LookupRecord(ref.sourceId)));
    QString target = FromCp1251(GetRecordPath(doc.LookupRecord(ref.targetId)));
    auto* item = new QListWidgetItem(
        record->Kind() == kKindProperty ? source : QStringLiteral("%1  →  %2").arg(source, target),
        list_);
    item->setData(kSourceRole, ref.sourceId);
  }
  if (list_->count() > 0) list_->setCurrentRow(0);
}

void CReferencesDlg::OnActivated(QListWidgetItem* item) {
  if (!item) return;
  // The link may have gone since the list was made; then there is nothing to go to.
  uint32_t id = item->data(kSourceRole).toUInt();
  if (frame_->document().LookupRecord(id)) frame_->RevealRecord(id);
}
