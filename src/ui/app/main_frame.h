// The main window: menus, toolbar, status bar and the splitter with the structure tree on the
// left and the property form on the right. It runs every change of the document through its
// edit history; each feature has an owner of its own: files (FrameFiles), records
// (FrameRecords), undo and find (FrameUndoFind) and the network (FrameNetwork). The first three
// share the document, the selection and the busy state with the window through FrameState and
// ask the window for the rest through its public methods.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "ui/app/frame_state.h"

class CCompareOwner;
class CMergeOwner;
class CFindBar;
class FrameFiles;
class FrameRecords;
class FrameUndoFind;
class CLeftView;
class CLinksDialog;
class CPropertyTablePane;
class CTreeEditing;
struct CommandState;
class CTarnelView;
class CValueHighlight;
class CWatchDock;
class FrameNetwork;
class FrameLayout;
class LockIndicators;
class QAction;
class QLabel;
class QMenu;
class QSplitter;
class CRecord;
class IProgress;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  CTarnelDoc& document() { return state_.doc; }
  CLeftView* GetTreeView() const { return treeView_; }
  CTarnelView* GetFormView() const { return formView_; }
  // The action of a command; every action also carries its identifier as data.
  QAction* action(int commandId) const;

  // The tree's selection report (0: "Root" or nothing).
  void SelectRecord(uint32_t id);
  // Puts a new form view on `formTemplate` into the right pane; the old one is hidden at once
  // and destroyed when control returns to the event loop.
  void ReplaceFormView(int formTemplate);
  int formReplacements() const { return formReplacements_; }
  void SetLinkPickMode(bool on);
  bool linkPickMode() const { return state_.linkPickMode; }
  // The links editor: made the first time the form shows a "Links" property, then shown over
  // the lower third of the form and hidden again with it.
  void OpenLinksEditor(uint32_t propertyId);
  void ShowLinksEditor(const QString& text);
  void HideLinksEditor();
  CLinksDialog* linksEditor() const;
  // Where the links editor reads templates from: the folders of the program's own directory
  // unless given others (a test's folder). Read when the editor is first made.
  void SetTemplateDirectories(const QStringList& dirs) { templateDirectories_ = dirs; }
  // While the links editor picks, tree selections go to it instead of the form.
  void SetLinksEditorPicking(bool on) { linksEditorPicking_ = on; }
  bool linksEditorPicking() const { return linksEditorPicking_; }

  uint32_t selectedId() const { return state_.selectedId; }
  CRecord* selectedRecord() const { return state_.selectedRecord(); }
  CRecord* shownRecord() const { return state_.shownRecord(); }
  int shownKind() const { return state_.shownKind; }

  // Runs one change of the document; marks the document modified when it changed and tells
  // the user when it could not be made. True when the document changed. A long command
  // reports to `progress` and may be stopped through it.
  bool RunCommand(std::unique_ptr<CEditCommand> command, IProgress* progress = nullptr);
  const CEditHistory& history() const { return state_.history; }
  // After "Применить": the form shows the record as stored.
  void AfterApply();
  // After the document was replaced or rebuilt (a base download, an import): the form shows
  // the tree's current row again when its record is still there, else nothing.
  void AfterTreeRebuilt();
  // After records were added or removed in place: the copied record, the form.
  void AfterTreeChanged();
  // After a new or opened document: an empty history, nothing copied, the views from the top.
  void InitialUpdate();
  // Sets every action's enabled state from the frame's state.
  void UpdateActions();
  CommandState CurrentCommandState() const;
  // The tree's keys and context menu.
  CTreeEditing* treeEditing() const { return treeEditing_; }
  void Execute(int commandId);

  // Files (FrameFiles). Each asks about unsaved changes first where it would replace the
  // document; false when nothing happened (cancelled or failed).
  bool NewDocument();
  bool OpenDocument(const QString& path);
  bool SaveDocument();
  bool SaveDocumentAs();
  const QString& filePath() const;
  // Saving writes `path` from now on (a merge opened from OURS is saved as OUT).
  void BindDocumentTo(const QString& path);
  // Opens a recovery copy as a modified document bound to `originalPath` (empty: unnamed); the
  // user's file is not touched until the user saves.
  bool OpenRecoveryCopy(const QString& copyPath, const QString& originalPath);
  class CRecoveryKeeper* recovery() const {
    return recovery_;
  }
  // Asks "Сохранить изменения?" when the document is modified; false when the user cancels or
  // the save fails.
  bool MaySwitchDocument();
  void SetModified(bool modified);
  void LoadRecentFiles();
  // The disabled "Последние файлы" entry of the "Файл" menu, shown while the list is empty.
  QAction* recentFilesPlaceholder() const { return recentPlaceholder_; }

  // Records (FrameRecords).
  CRecord* copiedRecord() const;
  bool RunImport(std::unique_ptr<CEditCommand> command, uint32_t targetId);

  // Undo and find (FrameUndoFind); false when there was nothing to do.
  bool UndoChange();
  bool RedoChange();
  // The document is about to change outside a command (a base download), and has changed.
  void BeforeExternalChange();
  void AfterExternalChange();
  // Selects the record's tree row, opening the branches above it and scrolling to it.
  void RevealRecord(uint32_t id);
  CFindBar* GetFindBar() const { return findBar_; }

  FrameNetwork* network() const { return network_.get(); }
  // The comparison with another base: its menu, dock and the tree's marks.
  CCompareOwner* compare() const { return compare_.get(); }
  // The three-way merge with its conflicts list.
  CMergeOwner* merge() const { return merge_.get(); }
  // The "Наблюдение" dock with the watch list of the document file.
  CWatchDock* watchDock() const { return watchDock_; }
  // The "Таблица свойств" tab beside the tree.
  CPropertyTablePane* tablePane() const { return tablePane_; }
  // Where the docks stand, the splitter and the column widths: saved at exit, restored at start.
  FrameLayout* workspace() const { return layout_; }
  // The tree's value column: which values just changed.
  CValueHighlight* valueHighlight() const { return valueHighlight_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  QAction* AddAction(int id, const QString& text, const char* objectName);

  void OnSwitchPane(bool forward);
  void ShowAbout();

  FrameState state_;  // first: everything below may refer to the document
  QSplitter* splitter_ = nullptr;
  CLeftView* treeView_ = nullptr;
  CTarnelView* formView_ = nullptr;
  std::map<int, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QAction* recentPlaceholder_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QLabel* connectionPane_ = nullptr;
  LockIndicators* lockIndicators_ = nullptr;
  std::unique_ptr<FrameFiles> files_;
  std::unique_ptr<FrameRecords> records_;
  std::unique_ptr<FrameUndoFind> undoFind_;
  std::unique_ptr<FrameNetwork> network_;
  std::unique_ptr<CCompareOwner> compare_;
  std::unique_ptr<CMergeOwner> merge_;
  CWatchDock* watchDock_ = nullptr;
  CPropertyTablePane* tablePane_ = nullptr;
  CValueHighlight* valueHighlight_ = nullptr;
  QPointer<CLinksDialog> linksEditor_;
  QStringList templateDirectories_;

  bool linksEditorPicking_ = false;
  int formReplacements_ = 0;
  CFindBar* findBar_ = nullptr;
  CTreeEditing* treeEditing_ = nullptr;  // owned by the tree
  CRecoveryKeeper* recovery_ = nullptr;  // owned by the frame
  FrameLayout* layout_ = nullptr;        // owned by the frame
};
