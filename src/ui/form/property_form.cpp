#include "ui/form/property_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "model/document.h"
#include "model/document_edits.h"
#include "model/record_lookup.h"
#include "model/value_types.h"
#include "net/base_session.h"
#include "net/write_gate.h"
#include "ui/app/command_ids.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/form/bulk_form.h"
#include "ui/form/cp1251_input.h"
#include "ui/form/flag_labels.h"
#include "ui/history/record_commands.h"
#include "ui/links/link_picker.h"
#include "ui/network/frame_network.h"
#include "ui/network/write_state_marks.h"
#include "ui/tree/structure_tree.h"
#include "xml/text_codec.h"

namespace {

void ReportLinkError(QWidget* parent) {
  ShowError(parent, CTarnelView::tr("Error"), CTarnelView::tr("LinkError"));
}

// A list entry naming a record: its path as text, its identifier and path bytes as data.
void AddPathEntry(QListWidget* list, const std::string& path, uint32_t id) {
  auto* item = new QListWidgetItem(FromCp1251(path), list);
  item->setData(Qt::UserRole, id);
  item->setData(Qt::UserRole + 1, QByteArray::fromStdString(path));
}

}  // namespace

CTarnelView::CTarnelView(CMainFrame* frame, int formTemplate, QWidget* parent)
    : QScrollArea(parent), frame_(frame), template_(formTemplate) {
  setObjectName(QStringLiteral("CTarnelView"));
  setWidgetResizable(true);
  setFrameShape(QFrame::StyledPanel);
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("formPage%1").arg(template_));
  page->setMaximumWidth(760);
  c_ = BuildForm(template_, page);
  setWidget(page);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (c_.apply) connect(c_.apply, &QPushButton::clicked, this, &CTarnelView::OnApply);
  if (c_.type) connect(c_.type, &QComboBox::activated, this, &CTarnelView::OnTypeChanged);
  if (c_.eoc) connect(c_.eoc, &QCheckBox::clicked, this, &CTarnelView::OnEndOfChain);
  if (c_.path) connect(c_.path, &QPushButton::clicked, this, &CTarnelView::OnPath);
  for (QListWidget* list : {c_.linkTarget, c_.incoming})
    if (list) connect(list, &QListWidget::itemDoubleClicked, this, &CTarnelView::OnJump);
}

void CTarnelView::OnInitialUpdate() {
  frame_->ReplaceFormView(
      kFormEmpty);  // destroys this view later; nothing of it is touched afterwards
}

void CTarnelView::RefreshForm() {
  frame_->HideLinksEditor();
  if (bulk())
    bulk_->Show(bulk_->ids());
  else if (template_ == kFormProperty)
    ShowProperty(frame_->shownRecord());
  else if (template_ == kFormRecord)
    ShowRecord(frame_->selectedRecord());
}

void CTarnelView::ShowRecord(CRecord* record) {
  static const char* const kKindNames[] = {"", QT_TR_NOOP("База"), QT_TR_NOOP("Объект"),
                                           QT_TR_NOOP("Атом")};
  int kind = GetKind(record);
  if (template_ != kFormRecord || kind < kKindGroup || kind > kKindAtom) return;
  bool atom = kind == kKindAtom;
  c_.atomTypeFrame->setVisible(atom);
  c_.atomType->setVisible(atom);
  c_.name->setText(FromCp1251(record->name));
  c_.id->setText(QString::number(int32_t(record->id)));
  c_.kind->setText(tr(kKindNames[kind]));
  if (atom) c_.atomType->setText(QString::number(static_cast<CAtom*>(record)->type));
}

void CTarnelView::ShowProperty(CRecord* record) {
  CPropertyItem* p = AsProperty(record);
  if (template_ != kFormProperty || !p) return;
  if (bulk_) bulk_->Leave();
  CTarnelDoc& doc = frame_->document();
  c_.kind->setText(tr("Свойство"));
  c_.id->setText(QString::number(int32_t(p->id)));
  c_.name->setText(FromCp1251(p->name));
  c_.eoc->setChecked(p->eoc);

  c_.incoming->setVisible(!p->incomingLinks.empty());
  c_.incoming->clear();
  for (const CIncomingLink& link : p->incomingLinks)
    AddPathEntry(c_.incoming, GetRecordPath(doc.LookupRecord(link.sourceId)), link.sourceId);

  bool isLink = p->typeCode == kTypeLinkTo;
  c_.linkTarget->clear();
  if (isLink) {
    uint32_t target = uint32_t(AtoI(p->valueText));
    AddPathEntry(c_.linkTarget, GetRecordPath(doc.LookupRecord(target)), target);
  }
  c_.linkTarget->setVisible(isLink);
  c_.path->setVisible(isLink);

  CPropertyItem* e = p;
  if (p->eoc) {
    e = ResolveChain(doc.Ids(), p);
    if (!e) {
      ReportLinkError(this);
      e = p;
    }
  }
  c_.value->setPlainText(FromCp1251(e->valueText));
  valueId_ = e->id;
  RefreshWriteState();
  c_.type->setCurrentIndex(e->typeCode < c_.type->count() ? e->typeCode : -1);
  FillFlagList(c_.flags, FormFlagLabels(), e->flags);

  if (e->name == "Links") {
    frame_->OpenLinksEditor(e->id);
    frame_->ShowLinksEditor(e->typeCode == kTypeFile ? FromCp1251(e->valueText) : QString());
  }
}

void CTarnelView::RefreshWriteState() {
  if (!c_.writeState) return;
  WriteState state = frame_->network() && !bulk()
                         ? frame_->network()->session().Gate().StateOf(valueId_)
                         : WriteState::kNone;
  c_.writeState->setVisible(state != WriteState::kNone);
  c_.writeState->setText(QStringLiteral("<span style=\"color:%1\">\u25CF</span> %2")
                             .arg(WriteStateColour(state).name(), WriteStateName(state)));
  c_.writeState->setToolTip(WriteStateExplanation(state));
}

void CTarnelView::ShowBulk(const std::vector<uint32_t>& ids) {
  if (template_ != kFormProperty) return;
  if (ids.size() < 2) {
    if (bulk()) {
      bulk_->Leave();
      ShowProperty(frame_->shownRecord());
    }
    return;
  }
  if (!bulk_) bulk_ = new CBulkForm(frame_, c_, this);
  frame_->HideLinksEditor();
  bulk_->Show(ids);
}

bool CTarnelView::bulk() const {
  return bulk_ && !bulk_->ids().empty();
}

void CTarnelView::ShowPickedId(uint32_t id) {
  if (c_.value) c_.value->setPlainText(QString::number(int32_t(id)));
}

void CTarnelView::RefreshIfShowing(uint32_t id) {
  CRecord* shown = frame_->shownRecord();
  if (AsProperty(shown) && shown->id == id) ShowProperty(shown);
}

void CTarnelView::OnTypeChanged(int index) {
  bool link = index == kTypeLinkTo;  // the list holds the types in code order
  c_.path->setVisible(link);
  frame_->SetLinkPickMode(link);
}

void CTarnelView::OnEndOfChain(bool checked) {
  CRecord* shown = frame_->shownRecord();
  if (!AsProperty(shown)) return;
  frame_->RunCommand(std::make_unique<SetEndOfChainCommand>(shown->id, checked));
  RefreshForm();
}

void CTarnelView::OnPath() {
  // The picker sets the link and refreshes the form itself; this view may be gone by then.
  CLinksTree picker(frame_);
  ::RunModal(picker);
}

void CTarnelView::OnJump(QListWidgetItem* item) {
  if (!item) return;
  CLeftView* tree = frame_->GetTreeView();
  std::string path = item->data(Qt::UserRole + 1).toByteArray().toStdString();
  if (CRecord* found = FindRecordByTreePath(frame_->document(), path, nullptr, 0))
    tree->SelectIndex(tree->IndexOfRecord(found));
}

bool CTarnelView::ApplyRecord() {
  CRecord* r = frame_->selectedRecord();
  if (GetKind(r) < kKindGroup || GetKind(r) > kKindAtom) return false;
  std::string name;
  if (!EncodeUserText(this, tr("Название"), c_.name->text(), &name)) return false;
  bool atom = GetKind(r) == kKindAtom;
  uint8_t type = atom ? uint8_t(AtoI(c_.atomType->text().toStdString())) : 0;
  return frame_->RunCommand(std::make_unique<ApplyRecordCommand>(r->id, name, atom, type));
}

bool CTarnelView::ApplyProperty() {
  CRecord* p = AsProperty(frame_->shownRecord());
  if (!p) return false;
  PropertyEdit edit;
  if (!EncodeUserText(this, tr("Название"), c_.name->text(), &edit.name) ||
      !EncodeUserText(this, tr("Значение"), c_.value->toPlainText(), &edit.valueText))
    return false;
  edit.eoc = c_.eoc->isChecked();
  edit.typeIndex = c_.type->currentIndex();
  edit.flagBits = TickedFlags(c_.flags);
  ApplyOutcome outcome;
  bool done =
      frame_->RunCommand(std::make_unique<ApplyPropertyCommand>(p->id, std::move(edit), &outcome));
  if (done && outcome.linkError) ReportLinkError(this);
  return done;
}

void CTarnelView::OnApply() {
  // The frame may replace this view while a message box is up; keep to the frame after that.
  CMainFrame* frame = frame_;
  bool done = bulk()                       ? bulk_->Apply()
              : template_ == kFormProperty ? ApplyProperty()
              : template_ == kFormRecord   ? ApplyRecord()
                                           : false;
  if (frame->linkPickMode()) frame->SetLinkPickMode(false);
  if (!done) return;
  frame->AfterApply();
}

bool CTarnelView::EditFieldFocused() const {
  QWidget* focus = focusWidget();
  return focus && isAncestorOf(focus) && (focus == c_.name || focus == c_.value);
}

bool CTarnelView::HandleEditCommand(int commandId) {
  QWidget* focus = focusWidget();
  if (!focus || !isAncestorOf(focus) || !focus->hasFocus()) return false;
  if (auto* line = qobject_cast<QLineEdit*>(focus)) {
    switch (commandId) {
      case cmd::kEditCopy:
        line->copy();
        break;
      case cmd::kEditCut:
        line->cut();
        break;
      case cmd::kEditPaste:
        line->paste();
        break;
      case cmd::kEditUndo:
        if (line->isUndoAvailable()) line->undo();
        break;
    }
    return true;
  }
  if (auto* text = qobject_cast<QPlainTextEdit*>(focus)) {
    switch (commandId) {
      case cmd::kEditCopy:
        text->copy();
        break;
      case cmd::kEditCut:
        text->cut();
        break;
      case cmd::kEditPaste:
        text->paste();
        break;
      case cmd::kEditUndo:
        if (text->document()->isUndoAvailable()) text->undo();
        break;
    }
    return true;
  }
  return true;  // another control of the form has the focus: nothing to do
}
