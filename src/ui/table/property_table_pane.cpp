#include "ui/table/property_table_pane.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "model/csv_format.h"
#include "model/document.h"
#include "model/document_diff.h"
#include "model/edit_history.h"
#include "model/property_table.h"
#include "model/table_apply.h"
#include "sheet/xlsx_table_writer.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/compare/compare_owner.h"
#include "ui/table/property_table_model.h"
#include "ui/table/text_cell_delegate.h"
#include "xml/text_codec.h"

namespace {

// Cells typed or pasted into the table: one step of the edit history.
class TableCellsCommand : public CEditCommand {
 public:
  TableCellsCommand(std::vector<TableCellEdit> edits, TableCellRefusal* refusal)
      : edits_(std::move(edits)), refusal_(refusal) {}
  bool Execute(EditContext& ctx) override {
    bool changed = false;
    *refusal_ = EditTableCells(ctx.doc, edits_, &changed);
    return changed;
  }

 private:
  std::vector<TableCellEdit> edits_;
  TableCellRefusal* refusal_;
};

}  // namespace

bool CPropertyTableView::event(QEvent* event) {
  // Claimed here, the keys reach keyPressEvent instead of the window's copy and paste.
  if (event->type() == QEvent::ShortcutOverride && state() != EditingState) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Paste)) {
      event->accept();
      return true;
    }
  }
  return QTableView::event(event);
}

void CPropertyTableView::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    emit copyRequested();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    emit pasteRequested();
    return;
  }
  QTableView::keyPressEvent(event);
}

CPropertyTablePane::CPropertyTablePane(CMainFrame* frame, QWidget* parent)
    : QWidget(parent), frame_(frame) {
  setObjectName(QStringLiteral("propertyTablePane"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(2);
  auto* bar = new QHBoxLayout;
  bar->setSpacing(4);
  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("tableFilter"));
  filter_->setClearButtonEnabled(true);
  filter_->setPlaceholderText(
      tr("Фильтр: текст или столбец:текст (path, name, id, type, value, "
         "flags, eoc, link)"));
  bar->addWidget(filter_, 1);
  export_ = new QToolButton(this);
  export_->setObjectName(QStringLiteral("tableExport"));
  export_->setText(tr("Экспорт…"));
  export_->setToolTip(tr("Сохранить показанные строки в файл CSV или XLSX"));
  import_ = new QToolButton(this);
  import_->setObjectName(QStringLiteral("tableImport"));
  import_->setText(tr("Импорт…"));
  import_->setToolTip(tr("Прочитать файл CSV и показать, что он изменит, в панели «Различия»"));
  deleteMissing_ = new QCheckBox(tr("Удалить отсутствующие"), this);
  deleteMissing_->setObjectName(QStringLiteral("tableDeleteMissing"));
  deleteMissing_->setToolTip(tr("При импорте удалить свойства таблицы, которых нет в файле"));
  byId_ = new QCheckBox(tr("По идентификатору"), this);
  byId_->setObjectName(QStringLiteral("tableById"));
  byId_->setToolTip(tr("При импорте искать свойства по столбцу id, а не по пути"));
  bar->addWidget(export_);
  bar->addWidget(import_);
  bar->addWidget(deleteMissing_);
  bar->addWidget(byId_);
  layout->addLayout(bar);

  model_ = new CPropertyTableModel(frame_->document(), this);
  model_->SetEditHandler([this](const std::vector<TableCellEdit>& edits) {
    return RunEdits(edits, tr("Значение не принято"));
  });
  connect(model_, &CPropertyTableModel::editRefused, this, [this](const QString& message) {
    ShowError(frame_, QStringLiteral("Kandrel"), message);
  });
  proxy_ = new CPropertyTableProxy(model_, this);
  view_ = new CPropertyTableView(this);
  view_->setObjectName(QStringLiteral("propertyTable"));
  view_->setModel(proxy_);
  view_->setItemDelegate(new CTextCellDelegate(view_));
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectItems);
  view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
  view_->setWordWrap(false);
  // Long paths keep their end, the record's own name, in sight.
  view_->setTextElideMode(Qt::ElideLeft);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  view_->horizontalHeader()->setStretchLastSection(true);
  // The tree's order until a column is clicked.
  view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  view_->setSortingEnabled(true);
  view_->setColumnWidth(kColumnPath, 260);
  view_->setColumnWidth(kColumnName, 120);
  view_->setColumnWidth(kColumnId, 70);
  view_->setColumnWidth(kColumnType, 80);
  view_->setColumnWidth(kColumnValue, 100);
  view_->setColumnWidth(kColumnFlags, 60);
  view_->setColumnWidth(kColumnEoc, 40);
  layout->addWidget(view_, 1);

  connect(filter_, &QLineEdit::textChanged, proxy_, &CPropertyTableProxy::SetFilterText);
  connect(export_, &QToolButton::clicked, this, &CPropertyTablePane::OnExport);
  connect(import_, &QToolButton::clicked, this, &CPropertyTablePane::OnImport);
  connect(view_, &CPropertyTableView::copyRequested, this, &CPropertyTablePane::Copy);
  connect(view_, &CPropertyTableView::pasteRequested, this,
          [this] { Paste(QApplication::clipboard()->text()); });
  connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { OnCurrentChanged(current); });
}

QString CPropertyTablePane::ProblemText(TableRowProblem problem) {
  switch (problem) {
    case TableRowProblem::kShortRow:
      return tr("строка короче заголовка");
    case TableRowProblem::kNoPath:
      return tr("нет пути");
    case TableRowProblem::kUnknownAtom:
      return tr("неизвестный атом");
    case TableRowProblem::kAmbiguousPath:
      return tr("путь называет две записи");
    case TableRowProblem::kNotProperty:
      return tr("запись — не свойство");
    case TableRowProblem::kUnknownId:
      return tr("неизвестный идентификатор");
    case TableRowProblem::kBadType:
      return tr("неизвестный тип");
    case TableRowProblem::kBadFlags:
      return tr("флаги — это номера 1-6 через пробел");
    case TableRowProblem::kBadEoc:
      return tr("EOC — это 0 или 1");
    case TableRowProblem::kUnencodable:
      return tr("текст, которого нет в кодировке windows-1251");
    case TableRowProblem::kBadLink:
      return tr("путь ссылки не называет свойство");
    case TableRowProblem::kDuplicate:
      return tr("у свойства уже есть строка выше");
    case TableRowProblem::kEmptyName:
      return tr("у свойства должно быть название");
    case TableRowProblem::kNotEditable:
      return tr("этот столбец не редактируется");
  }
  return {};
}

void CPropertyTablePane::OnRecordSelected(uint32_t id) {
  if (revealing_) return;
  if (CPropertyItem* p = AsProperty(frame_->document().LookupRecord(id));
      p && !scopePending_ && model_->RowOf(p) >= 0) {
    // A property the table shows: the table stands on its row.
    QModelIndex at = proxy_->mapFromSource(model_->index(model_->RowOf(p), kColumnValue));
    if (at.isValid()) {
      QSignalBlocker block(view_->selectionModel());
      view_->setCurrentIndex(at);
      view_->scrollTo(at);
    }
    return;
  }
  pendingScope_ = id;
  scopePending_ = true;
  if (isVisible()) ApplyPendingScope();
}

void CPropertyTablePane::ApplyPendingScope() {
  if (!scopePending_) return;
  scopePending_ = false;
  model_->SetScope(pendingScope_);
}

void CPropertyTablePane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  model_->SetActive(true);
  ApplyPendingScope();
}

void CPropertyTablePane::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // Hidden, the table costs nothing while the document changes.
  model_->SetActive(false);
}

void CPropertyTablePane::OnCurrentChanged(const QModelIndex& current) {
  CPropertyItem* p = model_->PropertyAt(proxy_->mapToSource(current).row());
  if (!p) return;
  revealing_ = true;
  frame_->RevealRecord(p->id);
  revealing_ = false;
}

TableCellRefusal CPropertyTablePane::RunEdits(const std::vector<TableCellEdit>& edits,
                                              const QString& what) {
  TableCellRefusal refusal;
  frame_->RunCommand(std::make_unique<TableCellsCommand>(edits, &refusal));
  if (refusal.index >= 0) {
    const TableCellEdit& bad = edits[size_t(refusal.index)];
    int row =
        proxy_
            ->mapFromSource(model_->index(
                model_->RowOf(AsProperty(frame_->document().LookupRecord(bad.id))), bad.column))
            .row();
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("%1: строка %2, столбец «%3», «%4»: %5")
                  .arg(what)
                  .arg(row + 1)
                  .arg(CPropertyTableModel::ColumnTitle(bad.column), FromCp1251(bad.text),
                       ProblemText(refusal.problem)));
  }
  return refusal;
}

QString CPropertyTablePane::CopyText() const {
  std::set<int> rows, columns;
  const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
  for (const QModelIndex& i : selected) {
    rows.insert(i.row());
    columns.insert(i.column());
  }
  if (selected.isEmpty() && view_->currentIndex().isValid()) {
    rows.insert(view_->currentIndex().row());
    columns.insert(view_->currentIndex().column());
  }
  std::string out;
  std::vector<std::string> texts;
  std::vector<std::string_view> cells;
  for (int r : rows) {
    CPropertyItem* p = model_->PropertyAt(proxy_->mapToSource(proxy_->index(r, 0)).row());
    if (!p) continue;
    texts.clear();
    cells.clear();
    for (int c : columns) texts.push_back(TableCellText(frame_->document(), *p, c));
    for (const std::string& t : texts) cells.push_back(t);
    AppendCsvRow(&out, cells, {'\t', false, false});
  }
  return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

void CPropertyTablePane::Copy() {
  QApplication::clipboard()->setText(CopyText());
}

bool CPropertyTablePane::Paste(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  CsvTable block;
  try {
    block = ReadCsv(std::string_view(utf8.constData(), size_t(utf8.size())), '\t');
  } catch (const CsvError& e) {
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Вставка не выполнена: %1").arg(QString::fromStdString(e.what())));
    return false;
  }
  if (block.RowCount() == 0) return false;
  QModelIndex current = view_->currentIndex();
  if (!current.isValid()) return false;
  std::vector<TableCellEdit> edits;
  auto add = [&](int row, int column, std::string_view text) {
    CPropertyItem* p = model_->PropertyAt(proxy_->mapToSource(proxy_->index(row, column)).row());
    if (p) edits.push_back({p->id, column, std::string(text)});
  };
  const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
  if (block.RowCount() == 1 && block.CellCount(0) == 1 && selected.size() > 1) {
    // One value into every selected cell.
    for (const QModelIndex& i : selected) add(i.row(), i.column(), block.Cell(0, 0));
  } else {
    for (int r = 0; r < block.RowCount(); ++r)
      for (int c = 0; c < block.CellCount(r); ++c) {
        int row = current.row() + r, column = current.column() + c;
        if (row < proxy_->rowCount() && column < kTableColumnCount)
          add(row, column, block.Cell(r, c));
      }
  }
  if (edits.empty()) return false;
  for (int r = 0; r < block.RowCount(); ++r)
    if (int c = block.UnencodableCell(r); c >= 0) {
      ShowError(frame_, QStringLiteral("Kandrel"),
                tr("Вставка не выполнена: строка %1, столбец «%2»: %3")
                    .arg(current.row() + r + 1)
                    .arg(CPropertyTableModel::ColumnTitle(current.column() + c),
                         ProblemText(TableRowProblem::kUnencodable)));
      return false;
    }
  return RunEdits(edits, tr("Вставка не выполнена")).index < 0;
}

bool CPropertyTablePane::ExportTo(const QString& path, char separator) {
  std::vector<CPropertyItem*> rows;
  rows.reserve(size_t(proxy_->rowCount()));
  for (int r = 0; r < proxy_->rowCount(); ++r)
    if (CPropertyItem* p = model_->PropertyAt(proxy_->mapToSource(proxy_->index(r, 0)).row()))
      rows.push_back(p);
  const std::string file = QFile::encodeName(path).toStdString();
  try {
    if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
      WriteTableXlsx(frame_->document(), rows, file);
    else
      WriteFileAtomically(file, WriteTableCsv(frame_->document(), rows, {separator, true, true}));
  } catch (const std::exception& e) {
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Не удалось сохранить таблицу %1: %2")
                  .arg(QDir::toNativeSeparators(path), QString::fromStdString(e.what())));
    return false;
  }
  frame_->statusBar()->showMessage(tr("Строк сохранено: %1").arg(rows.size()), 8000);
  return true;
}

void CPropertyTablePane::OnExport() {
  // Spreadsheets where the decimal separator is a comma expect ';' between fields.
  bool commaDecimal = QLocale().decimalPoint() == QLatin1Char(',');
  const QString semicolon = tr("CSV, разделитель «;» (*.csv)");
  const QString comma = tr("CSV, разделитель «,» (*.csv)");
  const QString xlsx = tr("Книга Excel (*.xlsx)");
  QFileDialog dlg(frame_, tr("Экспорт таблицы свойств"));
  dlg.setObjectName(QStringLiteral("tableExportDialog"));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setNameFilters(commaDecimal ? QStringList{semicolon, comma, xlsx}
                                  : QStringList{comma, semicolon, xlsx});
  if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  QString path = dlg.selectedFiles().first();
  const QString chosen = dlg.selectedNameFilter();
  if (QFileInfo(path).suffix().isEmpty()) path += chosen == xlsx ? ".xlsx" : ".csv";
  ExportTo(path, chosen == semicolon ? ';' : chosen == comma ? ',' : commaDecimal ? ';' : ',');
}

bool CPropertyTablePane::ImportFrom(const QString& path) {
  refusedRows_.clear();
  const std::string file = QFile::encodeName(path).toStdString();
  auto table = std::make_shared<CsvTable>();
  TableApplyOptions options;
  options.byId = byId_->isChecked();
  options.deleteMissing = deleteMissing_->isChecked();
  options.scopeId = model_->scopeId();
  TableDifferences differences;
  try {
    *table = ReadCsv(ReadFileBytes(file));
    // What the table would change, worked out from its rows: the document stays as it is.
    differences = DiffTable(frame_->document(), *table, options);
  } catch (const std::exception& e) {
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Не удалось прочитать таблицу %1: %2")
                  .arg(QDir::toNativeSeparators(path), QString::fromStdString(e.what())));
    return false;
  }
  for (const TableRowRefusal& r : differences.refused)
    refusedRows_ << tr("строка %1: %2").arg(r.line).arg(ProblemText(r.problem)) +
                        (r.detail.empty() ? QString()
                                          : QStringLiteral(" «%1»").arg(FromCp1251(r.detail)));
  if (!refusedRows_.isEmpty()) {
    constexpr int kShown = 20;
    QStringList shown = refusedRows_.mid(0, kShown);
    if (refusedRows_.size() > kShown) shown << tr("и ещё %1").arg(refusedRows_.size() - kShown);
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Эти строки таблицы %1 не могут быть использованы и не показаны среди "
                 "различий:\n%2")
                  .arg(QFileInfo(path).fileName(), shown.join(QLatin1Char('\n'))));
  }
  // As the document changes (a take-over among them), the rows are gone through again.
  auto recompute = [table, options](CTarnelDoc& doc, const CompareOptions& compare) {
    return DiffTable(doc, *table, options, compare.ignoreValues).result;
  };
  frame_->compare()->CompareWithDifferences(
      std::move(differences.result), tr("Таблица: %1").arg(QFileInfo(path).fileName()), recompute);
  return true;
}

void CPropertyTablePane::OnImport() {
  QFileDialog dlg(frame_, tr("Импорт таблицы свойств"));
  dlg.setObjectName(QStringLiteral("tableImportDialog"));
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setNameFilters({tr("Таблицы CSV (*.csv *.txt)"), tr("Все файлы (*)")});
  if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  ImportFrom(dlg.selectedFiles().first());
}
