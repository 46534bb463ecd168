#include "ui/form/bulk_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "model/bulk_property_edit.h"
#include "model/document.h"
#include "ui/app/main_frame.h"
#include "ui/form/cp1251_input.h"
#include "ui/form/flag_labels.h"
#include "ui/history/selection_commands.h"
#include "ui/network/frame_network.h"
#include "xml/text_codec.h"

CBulkForm::CBulkForm(CMainFrame* frame, const FormControls& controls, QObject* parent)
    : QObject(parent), frame_(frame), c_(controls) {
  connect(c_.value, &QPlainTextEdit::textChanged, this, [this] { valueTouched_ = true; });
}

CBulkForm::~CBulkForm() = default;

void CBulkForm::Show(const std::vector<uint32_t>& wanted) {
  std::vector<uint32_t> ids = wanted;  // may be ids_ itself
  std::vector<const CPropertyItem*> properties;
  ids_.clear();
  for (uint32_t id : ids)
    if (const CPropertyItem* p = AsProperty(frame_->document().LookupRecord(id))) {
      properties.push_back(p);
      ids_.push_back(id);
    }
  shown_ = std::make_unique<CBulkPropertyEdit>(properties);
  const QString mixed = tr("(разные)");
  c_.kind->setText(tr("Свойства: %1").arg(shown_->Count()));
  c_.id->clear();
  c_.name->clear();
  c_.name->setPlaceholderText(mixed);
  c_.name->setEnabled(false);  // each keeps its own name
  c_.eoc->setEnabled(false);
  c_.eoc->setChecked(false);
  c_.incoming->hide();
  c_.linkTarget->hide();
  c_.path->hide();
  c_.value->setPlaceholderText(shown_->ValueMixed() ? mixed : QString());
  c_.value->setPlainText(shown_->ValueMixed() ? QString() : FromCp1251(shown_->Value()));
  c_.type->setPlaceholderText(mixed);
  c_.type->setCurrentIndex(shown_->TypeMixed() ? -1 : shown_->Type());
  shownType_ = c_.type->currentIndex();
  FillFlagList(c_.flags, FormFlagLabels(), 0);
  for (int bit = 0; bit < CBulkPropertyEdit::kFlagCount; ++bit)
    c_.flags->item(bit)->setCheckState(shown_->FlagMixed(bit) ? Qt::PartiallyChecked
                                       : shown_->Flag(bit)    ? Qt::Checked
                                                              : Qt::Unchecked);
  valueTouched_ = false;
}

void CBulkForm::Leave() {
  c_.name->setEnabled(true);
  c_.name->setPlaceholderText(QString());
  c_.eoc->setEnabled(true);
  c_.value->setPlaceholderText(QString());
  ids_.clear();
  shown_.reset();
}

bool CBulkForm::Apply() {
  if (!shown_) return false;
  std::vector<const CPropertyItem*> properties;
  for (uint32_t id : ids_)
    if (const CPropertyItem* p = AsProperty(frame_->document().LookupRecord(id)))
      properties.push_back(p);
  CBulkPropertyEdit edit(properties);
  if (valueTouched_) {
    std::string value;
    if (!EncodeUserText(c_.value, tr("Значение"), c_.value->toPlainText(), &value)) return false;
    edit.SetValue(value);
  }
  if (c_.type->currentIndex() >= 0 && c_.type->currentIndex() != shownType_)
    edit.SetType(uint8_t(c_.type->currentIndex()));
  for (int bit = 0; bit < CBulkPropertyEdit::kFlagCount; ++bit) {
    Qt::CheckState now = c_.flags->item(bit)->checkState();
    Qt::CheckState was = shown_->FlagMixed(bit) ? Qt::PartiallyChecked
                         : shown_->Flag(bit)    ? Qt::Checked
                                                : Qt::Unchecked;
    if (now != was && now != Qt::PartiallyChecked) edit.SetFlag(bit, now == Qt::Checked);
  }
  if (!edit.AnyChanged()) return false;
  CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kBulk);
  return frame_->RunCommand(std::make_unique<BulkApplyCommand>(ids_, std::move(edit)));
}
