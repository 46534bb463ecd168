// The "Наблюдение" dock: the watch list of the open document file under the main window.
// Properties come from the tree's selection ("Наблюдать"), or by dropping tree records on it;
// a value edited in a cell goes through the edit history like "Применить" does. Selected numeric
// rows open a trend beside it; "Сохранить CSV…" writes everything recorded.
#pragma once

#include <QDockWidget>
#include <QPointer>
#include <cstdint>
#include <vector>

class CMainFrame;
class CTrendDock;
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

  // "Наблюдать" is enabled for a selection of records, "Убрать" for selected rows of the list.
  void UpdateActions();
  // Opens a trend of the watched numeric properties among `ids` beside the list; null when
  // there are none.
  CTrendDock* ShowTrend(const std::vector<uint32_t>& ids);
  // Adds the records' properties and shows the dock; the number added.
  int AddRecords(const std::vector<uint32_t>& ids);
  // The document now is the file's (empty: a new document): its list comes from the settings.
  void FileOpened(const QString& path);
  // The document was saved as the file: the list goes with it.
  void FileSaved(const QString& path);
  // True when a point of the screen lies over the list (a tree record dropped there is added).
  bool AcceptsDropAt(const QPoint& globalPoint) const;

 private:
  // The tree's selected records ("Root" and the link picking mode give none).
  std::vector<uint32_t> TreeSelection() const;
  void OnWatch();
  void OnRemove();
  void OnTrend();
  void OnSaveCsv();
  void Store();
  void Note(const QString& text);

  CMainFrame* frame_;
  CWatchModel* model_;
  QTableView* table_;
  QAction* watchAction_;
  QAction* removeAction_;
  QAction* trendAction_;
  QAction* saveCsvAction_;
  QString filePath_;
  int trendsMade_ = 0;
  QPointer<CTrendDock> lastTrend_;
};
