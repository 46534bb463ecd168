// The three-way merge in the editor: "Сравнение → Слияние…" (or `kandrel --merge`) merges
// THEIRS into the open document over BASE as one step of the edit history, and the
// "Различия" dock lists the conflicts, one entry each with both sides' fields, to be settled by
// "Взять наше" or "Взять их" (each an undoable step).
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "model/base_merge.h"

class CMainFrame;
class QAction;
class QDockWidget;
class QLabel;
class QTreeWidget;

class CMergeOwner : public QObject {
  Q_OBJECT
 public:
  explicit CMergeOwner(CMainFrame* frame);
  ~CMergeOwner() override;

  // Merges the files' THEIRS into the open document (OURS) over BASE. False, with a message
  // naming the file and the cause, when one cannot be read; the document is untouched then.
  bool MergeWithFiles(const QString& basePath, const QString& theirsPath);
  // `kandrel --merge`: opens OURS, merges into it, and binds the document to OUT, so saving
  // writes OUT.
  bool OpenMerge(const QString& basePath, const QString& oursPath, const QString& theirsPath,
                 const QString& outPath);
  // Takes one side of the selected conflicts (the current one when none is selected) as one
  // step. False when nothing changed.
  bool TakeSide(MergeSide side);
  // The dock hides; the conflicts are forgotten.
  void Close();
  bool IsOpen() const { return open_; }

  const MergeResult& result() const { return result_; }
  // What each conflict has been settled with so far, -1 for nothing.
  const std::vector<int>& taken() const { return taken_; }
  QTreeWidget* list() const { return list_; }
  QDockWidget* dock() const { return dock_; }
  QAction* mergeAction() const { return merge_; }

 private:
  void CreateDock();
  void ShowConflicts();
  void UpdateActions();
  std::vector<int> Chosen() const;

  CMainFrame* frame_;
  MergeResult result_;
  std::vector<int> taken_;
  bool open_ = false;
  bool tabbed_ = false;  // shares the bottom with the watch list

  QAction* merge_ = nullptr;
  QAction* takeOurs_ = nullptr;
  QAction* takeTheirs_ = nullptr;
  QAction* close_ = nullptr;
  QDockWidget* dock_ = nullptr;
  QLabel* title_ = nullptr;
  QTreeWidget* list_ = nullptr;
};
