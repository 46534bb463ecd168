#include "ui/links/link_picker.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "model/document.h"
#include "model/value_types.h"
#include "ui/app/main_frame.h"
#include "ui/history/link_commands.h"
#include "ui/tree/record_model.h"

CLinksTree::CLinksTree(CMainFrame* frame) : QDialog(frame), frame_(frame) {
  setObjectName(QStringLiteral("CLinksTree"));
  setWindowTitle(tr("Ссилка"));
  model_ = new CRecordModel(frame->document(), CRecordModel::Top::kGroups, this);
  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("linksTree"));
  tree_->setHeaderHidden(true);
  tree_->setIconSize(QSize(24, 24));
  tree_->setUniformRowHeights(true);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setMouseTracking(true);
  tree_->setModel(model_);
  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
  ok_->setObjectName(QStringLiteral("okButton"));
  ok_->setDefault(true);
  QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CLinksTree::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CLinksTree::reject);
  // Only a property can be a link target.
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { ok_->setEnabled(AsProperty(ChosenRecord()) != nullptr); });
  connect(tree_, &QTreeView::doubleClicked, this, [this] { accept(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tree_);
  layout->addWidget(buttons);
  resize(670, 400);  // 335 by 199 dialog units
  ok_->setEnabled(false);
  // The present target, when there is one, is where the choice starts.
  if (const CPropertyItem* p = AsProperty(frame_->shownRecord()); p && p->typeCode == kTypeLinkTo)
    if (QModelIndex index = ItemOf(uint32_t(AtoI(p->valueText))); index.isValid()) {
      tree_->setCurrentIndex(index);
      tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}

QModelIndex CLinksTree::ItemOf(uint32_t id) const {
  return model_->IndexOfId(id);
}

CRecord* CLinksTree::ChosenRecord() const {
  return model_->RecordOf(tree_->currentIndex());
}
void CLinksTree::accept() {
  CPropertyItem* property = AsProperty(frame_->shownRecord());
  CRecord* target = ChosenRecord();
  if (!property || !AsProperty(target)) return;  // refused: the dialog stays open
  frame_->RunCommand(std::make_unique<SetLinkTargetCommand>(property->id, target->id));
  // The form shows the stored link; a pick from the tree is no longer pending.
  if (frame_->linkPickMode()) frame_->SetLinkPickMode(false);
  frame_->AfterApply();
  QDialog::accept();
}
