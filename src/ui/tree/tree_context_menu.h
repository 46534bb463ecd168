// The structure tree's keys and context menu: delete every selected record (Del), rename in
// place (F2), add a record of the natural kind (Ins), a step up or down among the siblings
// (Alt+Up, Alt+Down), and the right-click menu with the add commands the record may hold,
// delete, copy, paste, references, find from here, copy the path, open and close the branch,
// and "Наблюдать" for the watch list.
// Every entry runs the frame's command and follows the frame's enable rules.
#pragma once

#include <QObject>
#include <cstdint>
#include <vector>

class CLeftView;
class CMainFrame;
class QMenu;
class QWidget;
struct CommandState;

class CTreeEditing : public QObject {
  Q_OBJECT
 public:
  CTreeEditing(CMainFrame* frame, CLeftView* tree);

  // The keys' actions (made by the frame) act where the tree has the focus.
  void AttachKeys();
  // The selection's part of the frame's state: how many records, whether the current one can
  // take a step among its siblings.
  void FillState(CommandState* state) const;
  // Runs one of the commands this owner carries; false when the command is not one of them.
  bool Execute(int commandId);
  // The selected records in tree order, without those inside another selected branch; the
  // current record when nothing is selected.
  std::vector<uint32_t> SelectedIds() const;
  // The context menu for the tree's current row, as the right click shows it.
  QMenu* BuildContextMenu(QWidget* parent);

 private:
  void ShowContextMenu(const QPoint& point);
  void DeleteSelected();
  void InsertNatural();
  void Step(int delta);
  // Several properties selected: the form becomes their bulk editor.
  void UpdateBulk();

  CMainFrame* frame_;
  CLeftView* tree_;
};
