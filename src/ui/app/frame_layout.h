// The window's workspace: where the docks stand, the splitter between the tree and the form
// and the widths of the lists' columns. The bottom docks (watch list, differences, trends)
// share one area as tabs by default; the layout is saved at exit and restored at the next
// start; "Вид → Сбросить расположение" puts the default back.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <utility>
#include <vector>

class CMainFrame;
class QAction;
class QDockWidget;
class QHeaderView;

class FrameLayout : public QObject {
  Q_OBJECT
 public:
  // Call once the frame's docks exist: it takes the default layout from them.
  explicit FrameLayout(CMainFrame* frame);

  // Puts the dock into the bottom area, as a tab beside the watch list.
  void DockAtBottom(QDockWidget* dock);
  // Gives `dock`'s area the height at which its `content` is at least `height` pixels high.
  void MakeRoomFor(QDockWidget* dock, QWidget* content, int height);

  void Save() const;
  // False when no layout was saved (the default stays).
  bool Restore();
  void Reset();
  QAction* resetAction() const { return reset_; }

 private:
  // The lists whose column widths are kept, each with its settings key.
  std::vector<std::pair<QString, QHeaderView*>> Headers() const;

  CMainFrame* frame_;
  QAction* reset_;
  std::vector<std::pair<QString, QByteArray>> defaultHeaders_;
};
