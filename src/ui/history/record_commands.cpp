#include "ui/history/record_commands.h"

#include <QCoreApplication>
#include <memory>

#include "model/document.h"
#include "model/value_types.h"

QString DocumentFullMessage() {
  return QCoreApplication::translate(
      "RecordCommands",
      "Документ заполнен: все 65535 идентификаторов заняты. Удалите ненужные записи, "
      "чтобы добавить новые.");
}

QString RefusalMessage(EditRefusal why) {
  switch (why) {
    case EditRefusal::kDone:
      return {};
    case EditRefusal::kNoRecord:
      return QCoreApplication::translate("RecordCommands", "Записи больше нет в документе.");
    case EditRefusal::kWrongKind:
      return QCoreApplication::translate(
          "RecordCommands",
          "Сюда такую запись поместить нельзя: объекты лежат в базах и объектах, атомы в "
          "объектах, свойства в атомах.");
    case EditRefusal::kOwnBranch:
      return QCoreApplication::translate("RecordCommands",
                                         "Запись нельзя перенести в её собственную ветвь.");
    case EditRefusal::kTooDeep:
      return QCoreApplication::translate(
          "RecordCommands", "Ветвь легла бы глубже, чем может хранить файл документа.");
    case EditRefusal::kDocumentFull:
      return DocumentFullMessage();
  }
  return {};
}

bool AddGroupCommand::Execute(EditContext& ctx) {
  EditResult r = AddGroup(ctx.doc, name_);
  Report(ctx, r);
  return r.changed;
}

bool AddChildCommand::Execute(EditContext& ctx) {
  CRecord* parent = ctx.doc.LookupRecord(parentId_);
  EditResult r = kind_ == kObject ? AddObject(ctx.doc, parent, name_)
                                  : AddAtom(ctx.doc, parent, name_, int8_t(atomType_));
  Report(ctx, r);
  return r.changed;
}

bool AddPropertyCommand::Execute(EditContext& ctx) {
  EditResult r = AddProperty(ctx.doc, ctx.doc.LookupRecord(parentId_), draft_);
  Report(ctx, r);
  return r.changed;
}

bool ApplyRecordCommand::Execute(EditContext& ctx) {
  EditResult r =
      ApplyRecordEdit(ctx.doc, ctx.doc.LookupRecord(id_), name_, setType_, int8_t(type_));
  return r.changed;
}

bool ApplyPropertyCommand::Execute(EditContext& ctx) {
  CPropertyItem* p = AsProperty(ctx.doc.LookupRecord(id_));
  if (!p) return false;
  ApplyOutcome outcome = ApplyPropertyEdit(ctx.doc, *p, edit_);
  if (outcome_) *outcome_ = outcome;
  return true;
}

bool SetEndOfChainCommand::Execute(EditContext& ctx) {
  return SetEndOfChain(ctx.doc, AsProperty(ctx.doc.LookupRecord(id_)), eoc_);
}

bool DeleteRecordCommand::Execute(EditContext& ctx) {
  return DeleteRecord(ctx.doc, ctx.doc.LookupRecord(id_)).changed;
}

bool PasteCommand::Execute(EditContext& ctx) {
  EditResult r =
      PasteRecord(ctx.doc, ctx.doc.LookupRecord(sourceId_), ctx.doc.LookupRecord(targetId_));
  Report(ctx, r);
  return r.changed;
}
