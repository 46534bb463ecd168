#include "ui/app/frame_layout.h"

#include <QAction>
#include <QDockWidget>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeView>
#include <algorithm>

#include "ui/app/main_frame.h"
#include "ui/compare/compare_owner.h"
#include "ui/tree/structure_tree.h"
#include "ui/watch/watch_dock.h"

namespace {

const QString kGroup = QStringLiteral("layout");
// Raised when the docks change so much that an older saved layout no longer fits.
constexpr int kLayoutVersion = 1;
// The bottom area's height by default: the tree and the form keep most of the room.
constexpr int kBottomHeight = 200;

QSplitter* Splitter(CMainFrame* frame) {
  return frame->findChild<QSplitter*>(QStringLiteral("splitter"));
}

}  // namespace

FrameLayout::FrameLayout(CMainFrame* frame) : QObject(frame), frame_(frame) {
  // Tabs above the docks they choose, where they are seen.
  frame_->setTabPosition(Qt::BottomDockWidgetArea, QTabWidget::North);
  for (const auto& [key, header] : Headers())
    defaultHeaders_.emplace_back(key, header->saveState());
  const QList<QDockWidget*> docks = frame_->findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly);
  for (QDockWidget* dock : docks)
    if (dock != frame_->watchDock()) DockAtBottom(dock);
  frame_->watchDock()->raise();
  frame_->resizeDocks({frame_->watchDock()}, {kBottomHeight}, Qt::Vertical);

  reset_ = new QAction(tr("Сбросить расположение"), this);
  reset_->setObjectName(QStringLiteral("actionResetLayout"));
  reset_->setStatusTip(tr("Вернуть панели, разделитель и ширину столбцов к исходным"));
  connect(reset_, &QAction::triggered, this, &FrameLayout::Reset);
  if (auto* view = frame_->menuBar()->findChild<QMenu*>(QStringLiteral("menuView"))) {
    view->addSeparator();
    view->addAction(reset_);
  }
}

std::vector<std::pair<QString, QHeaderView*>> FrameLayout::Headers() const {
  std::vector<std::pair<QString, QHeaderView*>> headers{
      {QStringLiteral("treeColumns"), frame_->GetTreeView()->header()},
      {QStringLiteral("watchColumns"), frame_->watchDock()->table()->horizontalHeader()}};
  if (CCompareOwner* compare = frame_->compare()) {
    headers.emplace_back(QStringLiteral("differenceColumns"), compare->list()->header());
    headers.emplace_back(QStringLiteral("differenceSideColumns"),
                         compare->sides()->horizontalHeader());
  }
  return headers;
}

void FrameLayout::DockAtBottom(QDockWidget* dock) {
  QDockWidget* watch = frame_->watchDock();
  dock->setFloating(false);
  if (frame_->dockWidgetArea(dock) != Qt::BottomDockWidgetArea)
    frame_->addDockWidget(Qt::BottomDockWidgetArea, dock);
  if (dock == watch) return;
  if (watch->isFloating() || frame_->dockWidgetArea(watch) != Qt::BottomDockWidgetArea) return;
  frame_->tabifyDockWidget(watch, dock);
}

void FrameLayout::MakeRoomFor(QDockWidget* dock, QWidget* content, int height) {
  if (dock->isFloating()) return;
  // What the dock shows around its content (title, tool bar) takes room too.
  int around = std::max(0, dock->minimumSizeHint().height() - content->minimumSizeHint().height());
  frame_->resizeDocks({dock}, {height + around}, Qt::Vertical);
}

void FrameLayout::Save() const {
  QSettings settings;
  settings.beginGroup(kGroup);
  settings.setValue(QStringLiteral("docks"), frame_->saveState(kLayoutVersion));
  if (QSplitter* splitter = Splitter(frame_))
    settings.setValue(QStringLiteral("splitter"), splitter->saveState());
  for (const auto& [key, header] : Headers()) settings.setValue(key, header->saveState());
}

bool FrameLayout::Restore() {
  QSettings settings;
  settings.beginGroup(kGroup);
  if (!settings.contains(QStringLiteral("docks"))) return false;
  frame_->restoreState(settings.value(QStringLiteral("docks")).toByteArray(), kLayoutVersion);
  if (QSplitter* splitter = Splitter(frame_))
    splitter->restoreState(settings.value(QStringLiteral("splitter")).toByteArray());
  for (const auto& [key, header] : Headers())
    if (settings.contains(key)) header->restoreState(settings.value(key).toByteArray());
  // The differences show only with a comparison, whatever was open at the last exit.
  if (CCompareOwner* compare = frame_->compare())
    if (!compare->IsOpen()) compare->dock()->hide();
  return true;
}

void FrameLayout::Reset() {
  QSettings().remove(kGroup);
  QDockWidget* watch = frame_->watchDock();
  DockAtBottom(watch);
  const QList<QDockWidget*> docks = frame_->findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly);
  for (QDockWidget* dock : docks)
    if (dock != watch) DockAtBottom(dock);
  watch->show();
  watch->raise();
  if (CCompareOwner* compare = frame_->compare()) compare->dock()->setVisible(compare->IsOpen());
  if (auto* bar = frame_->findChild<QToolBar*>(QStringLiteral("toolBar"))) {
    frame_->addToolBar(Qt::TopToolBarArea, bar);
    bar->show();
  }
  frame_->resizeDocks({watch}, {kBottomHeight}, Qt::Vertical);
  if (QSplitter* splitter = Splitter(frame_)) {
    int width = std::max(splitter->width(), 1200);
    splitter->setSizes({width * 5 / 12, width * 7 / 12});
  }
  for (const auto& [key, header] : Headers())
    for (const auto& [defaultKey, state] : defaultHeaders_)
      if (key == defaultKey) header->restoreState(state);
}
