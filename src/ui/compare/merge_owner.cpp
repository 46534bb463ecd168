#include "ui/compare/merge_owner.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "model/document.h"
#include "model/edit_history.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/compare/compare_owner.h"
#include "ui/watch/watch_dock.h"
#include "xml/text_codec.h"

namespace {

// The merge replaces the open document by the merged one: one step, which "Отменить" takes
// back to OURS as it was.
class MergeCommand : public CEditCommand {
 public:
  MergeCommand(std::unique_ptr<CTarnelDoc> base, std::unique_ptr<CTarnelDoc> theirs,
               MergeResult* result)
      : base_(std::move(base)), theirs_(std::move(theirs)), result_(result) {}
  bool Execute(EditContext& ctx) override {
    // OURS is the document itself, which the merge replaces: it is read from a copy.
    CTarnelDoc ours;
    ours.OpenBytes(ctx.doc.SaveToBytes(), "ours");
    *result_ = MergeDocuments(*base_, ours, *theirs_, ctx.doc);
    return true;
  }

 private:
  std::unique_ptr<CTarnelDoc> base_, theirs_;
  MergeResult* result_;
};

class TakeSideCommand : public CEditCommand {
 public:
  TakeSideCommand(std::vector<MergeConflict> conflicts, MergeSide side)
      : conflicts_(std::move(conflicts)), side_(side) {}
  bool Execute(EditContext& ctx) override {
    bool changed = false;
    for (const MergeConflict& c : conflicts_) changed |= TakeConflictSide(ctx.doc, c, side_);
    return changed;
  }

 private:
  std::vector<MergeConflict> conflicts_;
  MergeSide side_;
};

enum Column { kColumnRecord, kColumnField, kColumnBase, kColumnOurs, kColumnTheirs, kColumnTaken };

// Reads a .kdl file into a document of its own; null, with a message, when it cannot.
std::unique_ptr<CTarnelDoc> ReadSide(QWidget* parent, const QString& path) {
  auto doc = std::make_unique<CTarnelDoc>();
  try {
    doc->OpenFile(QFile::encodeName(path).toStdString());
  } catch (const DocumentFileError& e) {
    ShowError(parent, QStringLiteral("Kandrel"), QString::fromStdString(e.what()));
    return nullptr;
  }
  return doc;
}

QString PickFile(QWidget* parent, const QString& title, const char* name) {
  QFileDialog dlg(parent, title);
  dlg.setObjectName(QLatin1String(name));
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setNameFilter(CMainFrame::tr("Kandrel Files (*.kdl) "));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  return dlg.selectedFiles().first();
}

}  // namespace

CMergeOwner::CMergeOwner(CMainFrame* frame) : QObject(nullptr), frame_(frame) {
  auto make = [this](const QString& text, const char* name, const QString& tip) {
    auto* a = new QAction(text, frame_);
    a->setObjectName(QLatin1String(name));
    a->setStatusTip(tip);
    a->setToolTip(tip);
    return a;
  };
  merge_ =
      make(tr("Слияние…"), "actionMerge",
           tr("Слить в документ изменения другой копии той же базы (выбрать базу и их копию)"));
  takeOurs_ = make(tr("Взять наше"), "actionTakeOurs",
                   tr("Оставить в выбранных конфликтах то, что было в документе"));
  takeTheirs_ = make(tr("Взять их"), "actionTakeTheirs",
                     tr("Взять в выбранных конфликтах то, что было в их копии"));
  close_ = make(tr("Закрыть слияние"), "actionCloseMerge", tr("Закрыть список конфликтов"));
  connect(merge_, &QAction::triggered, this, [this] {
    QString base = PickFile(frame_, tr("Слияние: общая база"), "mergeBaseDialog");
    if (base.isEmpty()) return;
    QString theirs = PickFile(frame_, tr("Слияние: их копия"), "mergeTheirsDialog");
    if (theirs.isEmpty()) return;
    MergeWithFiles(base, theirs);
  });
  connect(takeOurs_, &QAction::triggered, this, [this] { TakeSide(MergeSide::kOurs); });
  connect(takeTheirs_, &QAction::triggered, this, [this] { TakeSide(MergeSide::kTheirs); });
  connect(close_, &QAction::triggered, this, [this] { Close(); });
  if (QMenu* menu = frame_->compare() ? frame_->compare()->menu() : nullptr) {
    QAction* first = menu->actions().value(2);  // after the two comparisons
    menu->insertAction(first, merge_);
  }
  CreateDock();
  UpdateActions();
}

CMergeOwner::~CMergeOwner() = default;

void CMergeOwner::CreateDock() {
  // The differences dock's title: for the user the conflicts are the merge's differences.
  dock_ = new QDockWidget(tr("Различия"), frame_);
  dock_->setObjectName(QStringLiteral("mergeDock"));
  dock_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
  auto* body = new QWidget(dock_);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(2);
  auto* bar = new QHBoxLayout;
  title_ = new QLabel(body);
  title_->setObjectName(QStringLiteral("mergeTitle"));
  bar->addWidget(title_);
  bar->addStretch(1);
  for (QAction* a : {takeOurs_, takeTheirs_, close_}) {
    auto* b = new QToolButton(body);
    b->setDefaultAction(a);
    b->setAutoRaise(true);
    bar->addWidget(b);
  }
  layout->addLayout(bar);
  list_ = new QTreeWidget(body);
  list_->setObjectName(QStringLiteral("conflictsList"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setHeaderLabels({tr("Запись"), tr("Поле"), tr("База"), tr("Наше"), tr("Их"), tr("Взято")});
  list_->setColumnWidth(kColumnRecord, 300);
  list_->header()->setStretchLastSection(true);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CMergeOwner::UpdateActions);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (!item) return;
    int k = list_->indexOfTopLevelItem(item);
    if (k >= 0 && size_t(k) < result_.conflicts.size())
      frame_->RevealRecord(result_.conflicts[size_t(k)].id);
  });
  layout->addWidget(list_, 1);
  dock_->setWidget(body);
  frame_->addDockWidget(Qt::BottomDockWidgetArea, dock_);
  dock_->hide();
}

bool CMergeOwner::MergeWithFiles(const QString& basePath, const QString& theirsPath) {
  std::unique_ptr<CTarnelDoc> base = ReadSide(frame_, basePath);
  if (!base) return false;
  std::unique_ptr<CTarnelDoc> theirs = ReadSide(frame_, theirsPath);
  if (!theirs) return false;
  // The comparison's dock and marks belong to another base: they go while the merge shows.
  if (frame_->compare()) frame_->compare()->Close();
  MergeResult result;
  frame_->RunCommand(std::make_unique<MergeCommand>(std::move(base), std::move(theirs), &result));
  frame_->AfterTreeRebuilt();
  result_ = std::move(result);
  taken_.assign(result_.conflicts.size(), -1);
  open_ = true;
  ShowConflicts();
  frame_->statusBar()->showMessage(
      result_.Clean()
          ? tr("Слияние выполнено без конфликтов")
          : tr("Слияние: конфликтов %1; в них оставлено наше").arg(result_.conflicts.size()));
  return true;
}

bool CMergeOwner::OpenMerge(const QString& basePath, const QString& oursPath,
                            const QString& theirsPath, const QString& outPath) {
  if (!frame_->OpenDocument(oursPath)) return false;
  if (!MergeWithFiles(basePath, theirsPath)) return false;
  frame_->BindDocumentTo(outPath);
  return true;
}

void CMergeOwner::ShowConflicts() {
  list_->clear();
  QList<QTreeWidgetItem*> items;
  for (const MergeConflict& c : result_.conflicts) {
    auto* item = new QTreeWidgetItem;
    item->setText(kColumnRecord, FromCp1251(c.path));
    item->setText(kColumnField, QString::fromStdString(c.field));
    item->setText(kColumnBase, FromCp1251(c.base));
    item->setText(kColumnOurs, FromCp1251(c.ours));
    item->setText(kColumnTheirs, FromCp1251(c.theirs));
    item->setToolTip(kColumnRecord, item->text(kColumnRecord));
    items << item;
  }
  list_->addTopLevelItems(items);
  title_->setText(result_.Clean() ? tr("Слияние без конфликтов")
                                  : tr("Конфликты слияния: %1").arg(result_.conflicts.size()));
  // Beside the watch list at the bottom the columns would have no room: the two share it as
  // tabs, the conflicts on top.
  if (!tabbed_ && frame_->watchDock() && !frame_->watchDock()->isFloating()) {
    frame_->tabifyDockWidget(frame_->watchDock(), dock_);
    tabbed_ = true;
  }
  dock_->show();
  dock_->raise();
  // The first conflict is the current one: the tree shows its record.
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  UpdateActions();
}

std::vector<int> CMergeOwner::Chosen() const {
  std::vector<int> chosen;
  for (QTreeWidgetItem* item : list_->selectedItems())
    chosen.push_back(list_->indexOfTopLevelItem(item));
  if (chosen.empty() && list_->currentItem())
    chosen.push_back(list_->indexOfTopLevelItem(list_->currentItem()));
  std::sort(chosen.begin(), chosen.end());
  return chosen;
}

bool CMergeOwner::TakeSide(MergeSide side) {
  std::vector<int> chosen = Chosen();
  std::vector<MergeConflict> conflicts;
  for (int k : chosen)
    if (k >= 0 && size_t(k) < result_.conflicts.size())
      conflicts.push_back(result_.conflicts[size_t(k)]);
  if (conflicts.empty()) return false;
  bool changed = frame_->RunCommand(std::make_unique<TakeSideCommand>(std::move(conflicts), side));
  frame_->AfterTreeRebuilt();
  for (int k : chosen) {
    taken_[size_t(k)] = int(side);
    list_->topLevelItem(k)->setText(kColumnTaken, side == MergeSide::kOurs ? tr("наше") : tr("их"));
  }
  UpdateActions();
  return changed;
}

void CMergeOwner::Close() {
  open_ = false;
  result_ = MergeResult();
  taken_.clear();
  list_->clear();
  dock_->hide();
  UpdateActions();
}

void CMergeOwner::UpdateActions() {
  bool any = open_ && !result_.conflicts.empty() &&
             (list_->currentItem() || !list_->selectedItems().isEmpty());
  takeOurs_->setEnabled(any);
  takeTheirs_->setEnabled(any);
  close_->setEnabled(open_);
}
