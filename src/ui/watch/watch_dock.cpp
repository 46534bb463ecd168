#include "ui/watch/watch_dock.h"

#include <QAction>
#include <QHeaderView>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/app/main_frame.h"
#include "ui/history/record_commands.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/watch_model.h"
#include "xml/text_codec.h"

#include "model/records.h"

namespace {

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
  watchAction_->setToolTip(tr("Добавить выбранные свойства в список наблюдения"));
  removeAction_ = bar->addAction(tr("Убрать"), this, &CWatchDock::OnRemove);
  removeAction_->setObjectName(QStringLiteral("watchRemove"));
  table_ = new QTableView(body);
  table_->setObjectName(QStringLiteral("watchTable"));
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->horizontalHeader()->setSectionResizeMode(CWatchModel::kPathColumn, QHeaderView::Stretch);
  layout->addWidget(bar);
  layout->addWidget(table_, 1);
  setWidget(body);

  model_->SetValueEditor([this](uint32_t id, const QString& text) {
    const CPropertyItem* p = AsProperty(frame_->document().LookupRecord(id));
    if (!p) return false;
    std::string bytes;
    ToCp1251Lossy(text, &bytes);
    if (bytes == p->GetValueText()) return false;
    if (!frame_->RunCommand(std::make_unique<ApplyPropertyCommand>(id, EditOfValue(*p, bytes))))
      return false;
    frame_->AfterApply();
    return true;
  });
  // Whatever takes rows out of the tree may have taken watched properties with it.
  CRecordModel* tree = frame_->GetTreeView()->recordModel();
  connect(tree, &QAbstractItemModel::rowsRemoved, model_, &CWatchModel::SchedulePrune);
  connect(tree, &QAbstractItemModel::modelReset, model_, &CWatchModel::SchedulePrune);
  connect(tree, &QAbstractItemModel::layoutChanged, model_, &CWatchModel::SchedulePrune);
  connect(model_, &CWatchModel::listChanged, this, &CWatchDock::Store);
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

void CWatchDock::OnWatch() {
  std::vector<uint32_t> ids;
  CLeftView* tree = frame_->GetTreeView();
  for (const QModelIndex& index : tree->selectionModel()->selectedRows())
    if (uint32_t id = tree->IdOf(index)) ids.push_back(id);
  if (ids.empty() && frame_->selectedId()) ids.push_back(frame_->selectedId());
  AddRecords(ids);
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
