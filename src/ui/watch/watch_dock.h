// The "Наблюдение" dock: the watch list of the open document file under the main window.
// Properties come from the tree's selection ("Наблюдать"), or by dropping tree records on it;
// a value edited in a cell goes through the edit history like "Применить" does.
#pragma once

#include <QDockWidget>
#include <cstdint>
#include <vector>

class CMainFrame;
class CWatchModel;
class QAction;
class QTableView;

class CWatchDock : public QDockWidget {
  Q_OBJECT
 public:
  explicit CWatchDock(CMainFrame* frame);
  ~CWatchDock() override;

  CWatchModel* model() const { return model_; }
  QTableView* table() const { return table_; }
  // "Наблюдать": the tree's selected records (properties, or every property under them).
  QAction* watchAction() const { return watchAction_; }

  // Adds the records' properties and shows the dock; the number added.
  int AddRecords(const std::vector<uint32_t>& ids);
  // The document now is the file's (empty: a new document): its list comes from the settings.
  void FileOpened(const QString& path);
  // The document was saved as the file: the list goes with it.
  void FileSaved(const QString& path);
  // True when a point of the screen lies over the list (a tree record dropped there is added).
  bool AcceptsDropAt(const QPoint& globalPoint) const;

 private:
  void OnWatch();
  void OnRemove();
  void Store();
  void Note(const QString& text);

  CMainFrame* frame_;
  CWatchModel* model_;
  QTableView* table_;
  QAction* watchAction_;
  QAction* removeAction_;
  QString filePath_;
};
