#include "ui/watch/watch_dock.h"

#include <QAction>
#include <QChartView>
#include <QHeaderView>
#include <QIcon>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/app/command_ids.h"
#include "ui/app/frame_layout.h"
#include "ui/app/main_frame.h"
#include "ui/form/cp1251_input.h"
#include "ui/history/record_commands.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/tree/tree_context_menu.h"
#include "ui/watch/samples_csv_file.h"
#include "ui/watch/trend_dock.h"
#include "ui/watch/watch_model.h"
#include "xml/text_codec.h"

#include "model/records.h"
#include "ui/network/frame_network.h"

namespace {

// The height a new trend's chart gets, so that its plot (inside the axes and the legend) has
// at least 250 pixels (the axes, their labels and the legend take about 100).
constexpr int kTrendChartHeight = 370;

// Only the value changes; the rest of the property stays as it is.
PropertyEdit EditOfValue(const CPropertyItem& p, std::string text) {
  PropertyEdit edit;
  edit.name = p.name;
  edit.eoc = p.eoc;
  edit.valueText = std::move(text);
  edit.typeIndex = -1;
  edit.flagBits = uint8_t(p.flags & 0x3F);
  return edit;
}

}  // namespace

CWatchDock::CWatchDock(CMainFrame* frame)
    : QDockWidget(tr("Наблюдение"), frame),
      frame_(frame),
      model_(new CWatchModel(frame->document(), this)) {
  setObjectName(QStringLiteral("watchDock"));
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QToolBar(body);
  bar->setObjectName(QStringLiteral("watchBar"));
  watchAction_ = bar->addAction(tr("Наблюдать"), this, &CWatchDock::OnWatch);
  watchAction_->setObjectName(QStringLiteral("watchAdd"));
  watchAction_->setData(cmd::kWatch);
  watchAction_->setToolTip(tr("Добавить выбранные свойства в список наблюдения"));
  watchAction_->setIcon(QIcon(QStringLiteral(":/kandrel/toolbar/watch.svg")));
  removeAction_ = bar->addAction(tr("Убрать"), this, &CWatchDock::OnRemove);
  removeAction_->setObjectName(QStringLiteral("watchRemove"));
  removeAction_->setShortcut(QKeySequence::Delete);
  removeAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  bar->addSeparator();
  trendAction_ = bar->addAction(QIcon(QStringLiteral(":/kandrel/toolbar/trend.svg")), tr("Тренд"),
                                this, &CWatchDock::OnTrend);
  trendAction_->setObjectName(QStringLiteral("watchTrend"));
  trendAction_->setToolTip(tr("Показать выбранные числовые значения линиями во времени"));
  saveCsvAction_ = bar->addAction(tr("Сохранить CSV…"), this, &CWatchDock::OnSaveCsv);
  saveCsvAction_->setObjectName(QStringLiteral("watchSaveCsv"));
  saveCsvAction_->setToolTip(tr("Записать в файл все записанные значения списка"));
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  table_ = new QTableView(body);
  table_->setObjectName(QStringLiteral("watchTable"));
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  table_->verticalHeader()->hide();
  // One line per property; a long path keeps its end (the atom and the property) in view.
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideLeft);
  table_->horizontalHeader()->setSectionResizeMode(CWatchModel::kPathColumn, QHeaderView::Stretch);
  table_->addAction(removeAction_);
  layout->addWidget(bar);
  layout->addWidget(table_, 1);
  setWidget(body);

  model_->SetValueEditor([this](uint32_t id, const QString& text) {
    const CPropertyItem* p = AsProperty(frame_->document().LookupRecord(id));
    if (!p) return false;
    std::string bytes;
    // Text the base cannot hold is refused with a word, never stored altered.
    if (!EncodeUserText(frame_, tr("Значение"), text, &bytes)) return false;
    if (bytes == p->GetValueText()) return false;
    CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kWatch);
    if (!frame_->RunCommand(std::make_unique<ApplyPropertyCommand>(id, EditOfValue(*p, bytes))))
      return false;
    frame_->AfterApply();
    return true;
  });
  // Whatever takes rows out of the tree may have taken watched properties with it.
  CRecordModel* tree = frame_->GetTreeView()->recordModel();
  auto prune = [this] { model_->SchedulePrune(); };
  connect(tree, &QAbstractItemModel::rowsRemoved, model_, prune);
  connect(tree, &QAbstractItemModel::modelReset, model_, prune);
  connect(tree, &QAbstractItemModel::layoutChanged, model_, prune);
  connect(model_, &CWatchModel::listChanged, this, &CWatchDock::Store);
  QItemSelectionModel* treeSelection = frame_->GetTreeView()->selectionModel();
  connect(treeSelection, &QItemSelectionModel::selectionChanged, this, &CWatchDock::UpdateActions);
  connect(treeSelection, &QItemSelectionModel::currentChanged, this, &CWatchDock::UpdateActions);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &CWatchDock::UpdateActions);
  connect(model_, &QAbstractItemModel::rowsInserted, this, &CWatchDock::UpdateActions);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &CWatchDock::UpdateActions);
  connect(model_, &QAbstractItemModel::modelReset, this, &CWatchDock::UpdateActions);
  UpdateActions();
  connect(model_, &CWatchModel::propertiesLeft, this, [this](int n) {
    Note(tr("Из списка наблюдения убрано свойств, которых больше нет: %1").arg(n));
  });
}

CWatchDock::~CWatchDock() = default;

int CWatchDock::AddRecords(const std::vector<uint32_t>& ids) {
  int added = model_->Add(ids);
  if (added > 0) {
    show();
    raise();
  }
  return added;
}

std::vector<uint32_t> CWatchDock::TreeSelection() const {
  CTreeEditing* editing = frame_->treeEditing();
  if (!editing || frame_->linkPickMode()) return {};
  return editing->SelectedIds();
}

void CWatchDock::UpdateActions() {
  watchAction_->setEnabled(!TreeSelection().empty());
  removeAction_->setEnabled(table_->selectionModel()->hasSelection());
  bool numeric = false;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    numeric = numeric || model_->IsNumericAt(index.row());
  trendAction_->setEnabled(numeric);
  saveCsvAction_->setEnabled(!model_->AllSeries().empty());
}

CTrendDock* CWatchDock::ShowTrend(const std::vector<uint32_t>& ids) {
  std::vector<uint32_t> numeric;
  for (uint32_t id : ids)
    if (model_->IsNumericAt(model_->RowOf(id))) numeric.push_back(id);
  if (numeric.empty()) return nullptr;
  auto* trend = new CTrendDock(model_, numeric, tr("Тренд %1").arg(++trendsMade_), frame_);
  // A tab beside the list, in front, with room for a plot that can be read.
  frame_->workspace()->DockAtBottom(trend);
  trend->show();
  trend->raise();
  frame_->workspace()->MakeRoomFor(trend, trend->chartView(), kTrendChartHeight);
  lastTrend_ = trend;
  return trend;
}

void CWatchDock::OnTrend() {
  std::vector<uint32_t> ids;
  QModelIndexList rows = table_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end());
  for (const QModelIndex& index : rows) ids.push_back(model_->IdAt(index.row()));
  ShowTrend(ids);
}

void CWatchDock::OnSaveCsv() {
  SaveSamplesAsCsv(frame_, model_->AllSeries());
}

void CWatchDock::OnWatch() {
  AddRecords(TreeSelection());
}

void CWatchDock::OnRemove() {
  std::vector<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    rows.push_back(index.row());
  model_->RemoveRowsAt(rows);
}

void CWatchDock::FileOpened(const QString& path) {
  filePath_ = path;
  QSettings settings;
  int missing = model_->Load(settings, path);
  if (missing > 0)
    Note(tr("Из списка наблюдения убрано свойств, которых больше нет: %1").arg(missing));
  // What was dropped stays dropped.
  if (missing > 0) Store();
}

void CWatchDock::FileSaved(const QString& path) {
  filePath_ = path;
  Store();
}

void CWatchDock::Store() {
  QSettings settings;
  model_->Save(settings, filePath_);
}

bool CWatchDock::AcceptsDropAt(const QPoint& globalPoint) const {
  if (!isVisible()) return false;
  return rect().contains(mapFromGlobal(globalPoint));
}

void CWatchDock::Note(const QString& text) {
  frame_->statusBar()->showMessage(text, 8000);
}
