#include "ui/history/import_commands.h"

#include <QCoreApplication>
#include <QFile>

#include "model/document.h"
#include "model/progress.h"
#include "xml/c2ko_import.h"
#include "xml/import_merge.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"

XmlImportCommand::XmlImportCommand(std::unique_ptr<CImportItem> selection,
                                   std::unique_ptr<CImportParser> parser, uint32_t targetId)
    : selection_(std::move(selection)), parser_(std::move(parser)), targetId_(targetId) {}

XmlImportCommand::~XmlImportCommand() = default;

bool XmlImportCommand::Execute(EditContext& ctx) {
  int altered = parser_->GetAlteredTextCount();
  ImportOutcome out;
  try {
    out = ApplyImport(ctx.doc, *selection_, ctx.doc.LookupRecord(targetId_), ctx.progress);
  } catch (const OperationCancelled&) {
    ctx.cancelled = true;
    return false;
  }
  if (altered > 0)
    ctx.notice = QCoreApplication::translate(
                     "ImportCommands",
                     "В файле были имена и значения с символами, которых нет в кодировке "
                     "windows-1251: %1 из них импортированы с «?» на месте этих символов.")
                     .arg(altered)
                     .toStdString();
  return out.merge.copied > 0 || out.links.madeBinary > 0;
}

bool C2koImportCommand::Execute(EditContext& ctx) {
  CRecord* target = ctx.doc.LookupRecord(targetId_);
  if (!AsChildHolder(target)) return false;
  int before = ctx.doc.Ids().Count();
  try {
    ImportC2koFile(ctx.doc, QFile::encodeName(path_).toStdString(), target, ctx.progress);
  } catch (const OperationCancelled&) {
    ctx.cancelled = true;
    return false;
  } catch (const C2koImportError& e) {
    outcome_->error = QString::fromStdString(e.what());
    outcome_->fileNotFound = e.fileNotFound;
  }
  // Records made before a failure stay, as the import always did.
  return ctx.doc.Ids().Count() != before;
}
