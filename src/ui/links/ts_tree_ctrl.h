// A tree with three-state check marks drawn as the items' images: 0 unchecked, 1 partly
// checked, 2 checked. A click on the mark toggles the item and its branch and reports it.
#pragma once

#include <QIcon>
#include <QTreeWidget>
#include <array>

class CTSTreeCtrl : public QTreeWidget {
  Q_OBJECT
 public:
  enum State : int { kUnchecked = 0, kPartlyChecked = 1, kChecked = 2 };

  explicit CTSTreeCtrl(QWidget* parent = nullptr);

  // -1 when the item has no state.
  static int GetState(const QTreeWidgetItem* item);
  void SetState(QTreeWidgetItem* item, int state);
  // Checks an unchecked or partly checked item, unchecks a checked one; its branch takes the
  // same state, its ancestors follow their children; then reports it unless quiet.
  void Toggle(QTreeWidgetItem* item);
  // Unchecks every item below `item` (null: the whole tree), without reports.
  void ClearAll(QTreeWidgetItem* item);

  // Where the item's check mark is drawn, in viewport coordinates.
  QRect CheckMarkRect(QTreeWidgetItem* item) const;

  bool locked = false;  // clicks change no check marks
  bool quiet = false;   // changes are not reported

 signals:
  // Sent at once, while the change is being made.
  void Checked(int state, QTreeWidgetItem* item);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::array<QIcon, 3> checkImages_;
};
