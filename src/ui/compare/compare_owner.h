// The comparison's panel: the "Сравнение" menu, the differences dock, the marks in the
// structure tree, and the server's base asked for with its progress. The comparison itself
// (the other base, the options, the result, the take-over and the values to send) is a
// CCompareSession; the open document changes only through a take-over, which is one step of
// the edit history.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "model/base_compare.h"
#include "ui/tree/record_model.h"

class CCompareSession;
class CDifferenceMarks;
class CDifferenceModel;
class CMainFrame;
class CProgressDialog;
class CTarnelDoc;
class IProgress;
class QAction;
class QCheckBox;
class QDockWidget;
class QLabel;
class QMenu;
class QTableWidget;
class QTimer;
class QToolButton;
class QTreeView;

class CCompareOwner : public QObject {
  Q_OBJECT
 public:
  explicit CCompareOwner(CMainFrame* frame);
  ~CCompareOwner() override;

  // Reads the .kdl into a document of its own and compares the open document with it. False,
  // with a message naming the file and the cause, when it cannot be read.
  bool CompareWithFile(const QString& path);
  // Asks the connected server for its base; the comparison opens when it has arrived. False
  // when there is no connection.
  bool CompareWithServer();
  // Compares the open document with a base made aside (the document as an imported table
  // would make it), shown under `otherName`; identifiers are kept there, so records are matched
  // by them.
  void CompareWithDocument(std::unique_ptr<CTarnelDoc> other, const QString& otherName);
  // Shows differences worked out without a second base in hand (what an imported table would
  // change), under `otherName`. `recompute` works them out again for the document as it is now
  // and the options (after an edit, a take-over or the "values too" switch).
  using Recompute = std::function<CompareResult(CTarnelDoc& doc, const CompareOptions& options)>;
  void CompareWithDifferences(CompareResult result, const QString& otherName, Recompute recompute);
  // Compares the open document with a base the connected server sent (one nobody asked for),
  // as "Сравнить с сервером" does with the one it asks for.
  void CompareWithServerBase(std::unique_ptr<CTarnelDoc> other);
  bool IsOpen() const;
  // Compares again with the current options (after the document changed, or the switch).
  void Refresh();
  // Ends the comparison: the dock hides and the tree loses its marks.
  void Close();
  // The "values too" switch: the comparison runs again with or without values.
  void SetValuesToo(bool on);
  bool valuesToo() const;
  // F8 / Shift+F8: the next or previous difference becomes the current one.
  void Step(bool forward);
  // Takes the selected differences (or all) from the other base into the document as one
  // undoable step, then compares again. False when nothing changed.
  bool TakeOverSelected();
  bool TakeOverAll();
  // Message 203 for each property whose raw value differs and that both sides hold with the
  // same type; the number sent.
  int SendValues();

  const CompareResult* result() const;
  CDifferenceModel* model() const { return model_; }
  QTreeView* list() const { return list_; }
  QTableWidget* sides() const { return sides_; }
  QDockWidget* dock() const { return dock_; }
  QMenu* menu() const { return menu_; }

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void CreateDock();
  // Compares with `other` (reporting to `progress`) and shows the result. Throws
  // OperationCancelled, with nothing changed, when stopped.
  void Open(std::unique_ptr<CTarnelDoc> other, const QString& otherName, bool server,
            const CompareOptions& options, IProgress* progress);
  // The dock comes up on the session's new comparison.
  void Present();
  void EndProgress();
  // Shows the session's result (or, once it is closed, hides the dock and the marks).
  void ShowResult();
  void ShowMarks();
  void UpdateCounts();
  void UpdateActions();
  // The result's index of the list's current row's first difference; -1 for none.
  int CurrentDifference() const;
  void OnCurrentChanged();
  void ShowSides(int difference);
  void FillSides(int difference);
  bool RunTakeOver(std::vector<uint8_t> selected);
  void OnBaseCopyArrived();

  CMainFrame* frame_;
  CCompareSession* session_;
  std::shared_ptr<const CompareResult> shown_;  // the result the dock and the marks show
  bool awaitingServer_ = false;
  bool resending_ = false;  // the base awaited refreshes the open comparison
  std::unique_ptr<CDifferenceMarks> marks_;

  QMenu* menu_ = nullptr;
  QAction* compareFile_ = nullptr;
  QAction* compareServer_ = nullptr;
  QAction* next_ = nullptr;
  QAction* previous_ = nullptr;
  QAction* takeSelected_ = nullptr;
  QAction* takeAll_ = nullptr;
  QAction* sendValues_ = nullptr;
  QAction* close_ = nullptr;

  QDockWidget* dock_ = nullptr;
  QLabel* title_ = nullptr;
  QToolButton* kindButtons_[4] = {};
  QCheckBox* valuesToo_ = nullptr;
  QTreeView* list_ = nullptr;
  QTableWidget* sides_ = nullptr;
  CDifferenceModel* model_ = nullptr;
  CProgressDialog* progress_ = nullptr;  // while the server's base is on its way
};
