// The find bar over the structure tree: finds records by name, path or identifier as the text
// is typed, and goes from one match to the next, selecting and revealing it.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

class CMainFrame;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

class CFindBar : public QWidget {
  Q_OBJECT
 public:
  explicit CFindBar(CMainFrame* frame, QWidget* parent = nullptr);

  // Shows the bar and puts the focus into its text, all of it selected.
  void Open();
  // The same, finding only in the branch of the record (0: everywhere) until the bar is
  // opened again without one.
  void OpenIn(uint32_t scopeId);
  uint32_t scopeId() const { return scopeId_; }
  // Hides the bar; the tree gets the focus back.
  void Close();
  // Next (Enter) and previous (Shift+Enter) match, wrapping around. The search runs again
  // first, so matches follow edits made since the text was typed.
  void GoNext();
  void GoPrevious();

  int matchCount() const { return int(matches_.size()); }
  int currentIndex() const { return current_; }  // -1: none
  QString countText() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Search();
  void Step(int delta);
  void GoTo(int index);
  void ShowCount();
  std::vector<uint32_t> Matches(const std::string& text) const;

  CMainFrame* frame_;
  QComboBox* mode_;
  QLineEdit* text_;
  QLabel* count_;
  QToolButton* previous_;
  QToolButton* next_;
  QToolButton* close_;
  std::vector<uint32_t> matches_;
  int current_ = -1;
  bool unencodable_ = false;
  uint32_t scopeId_ = 0;
};
