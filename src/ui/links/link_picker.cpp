#include "ui/links/link_picker.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/document.h"
#include "model/value_types.h"
#include "ui/app/main_frame.h"
#include "ui/history/link_commands.h"
#include "ui/tree/tree_icons.h"
#include "xml/text_codec.h"

namespace {
constexpr int kIdRole = Qt::UserRole;
}

CLinksTree::CLinksTree(CMainFrame* frame) : QDialog(frame), frame_(frame) {
  setObjectName(QStringLiteral("CLinksTree"));
  setWindowTitle(tr("Ссилка"));
  tree_ = new QTreeWidget(this);
  tree_->setObjectName(QStringLiteral("linksTree"));
  tree_->setHeaderHidden(true);
  tree_->setIconSize(QSize(24, 24));
  tree_->setMouseTracking(true);
  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
  ok_->setObjectName(QStringLiteral("okButton"));
  ok_->setDefault(true);
  QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CLinksTree::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CLinksTree::reject);
  // Only a property can be a link target.
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this] { ok_->setEnabled(AsProperty(ChosenRecord()) != nullptr); });
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tree_);
  layout->addWidget(buttons);
  resize(670, 400);  // 335 by 199 dialog units
  Fill();
}

void CLinksTree::Fill() {
  tree_->clear();
  for (const auto& g : frame_->document().groups) InsertRecord(tree_->invisibleRootItem(), g.get());
  ok_->setEnabled(false);
  // The present target, when there is one, is where the choice starts.
  if (const CPropertyItem* p = AsProperty(frame_->shownRecord()); p && p->typeCode == kTypeLinkTo)
    if (QTreeWidgetItem* item = ItemOf(uint32_t(AtoI(p->valueText)))) {
      tree_->setCurrentItem(item);
      tree_->scrollToItem(item, QAbstractItemView::PositionAtCenter);
    }
}

void CLinksTree::InsertRecord(QTreeWidgetItem* parent, CRecord* record) {
  static const int kImages[] = {kImageRoot, kImageGroup, kImageObject, kImageAtom, kImageProperty};
  auto* item = new QTreeWidgetItem(parent);
  item->setText(0, FromCp1251(record->name));
  item->setData(0, kIdRole, record->id);
  int image = kImages[GetKind(record)];
  if (const CPropertyItem* p = AsProperty(record); p && p->typeCode == kTypeLinkTo)
    image = kImageLink;
  item->setIcon(0, TreeIcons::Get().ForImage(image));
  if (CChildHolder* h = AsChildHolder(record))
    for (const auto& c : h->children) InsertRecord(item, c.get());
  else if (CAtom* a = AsAtom(record))
    for (const auto& p : a->properties) InsertRecord(item, p.get());
}

QTreeWidgetItem* CLinksTree::ItemOf(uint32_t id) const {
  for (QTreeWidgetItemIterator it(tree_); *it; ++it)
    if ((*it)->data(0, kIdRole).toUInt() == id) return *it;
  return nullptr;
}

CRecord* CLinksTree::ChosenRecord() const {
  QTreeWidgetItem* item = tree_->currentItem();
  return item ? frame_->document().LookupRecord(item->data(0, kIdRole).toUInt()) : nullptr;
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
