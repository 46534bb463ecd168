// The links editor: a modeless window over the lower third of the property form while it
// shows a property named "Links". It loads the link template that the property names from the
// program's directory or the installed data folder, matches it by names against the object that
// holds the property, and lets the user turn the document's properties into links to an atom picked
// in the tree.
#pragma once

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>

class CImportParser;
class CMainFrame;
class CRecord;
class CTSTreeCtrl;
class QGroupBox;
class QLabel;
class QTreeWidgetItem;

class CLinksDialog : public QDialog {
  Q_OBJECT
 public:
  // Templates are read from `templateDirectories`, the first of which is the program's own.
  CLinksDialog(CMainFrame* frame, const QStringList& templateDirectories);
  ~CLinksDialog() override;

  // While picking, the frame hands every record selected in the tree to the editor.
  void SetPicking(bool on);
  bool picking() const { return picking_; }
  // Loads the template named by a "Links" value. A name that is not a plain relative path
  // inside the template directories, or a file that cannot be read, loads nothing.
  void LoadTemplate(const QString& text);
  // Shows the document's links again: clears the marks and matches every entry anew.
  void Refresh();
  void RefreshLabels();
  // The record selected in the structure tree while picking.
  void OnPicked(uint32_t id);
  // The object that holds the "Links" property's atom.
  void SetObjectId(uint32_t id) { objectId_ = id; }

  CTSTreeCtrl* tree() const { return tree_; }
  QLabel* newLinkText() const { return newLinkText_; }
  QLabel* currentLinkText() const { return currentLinkText_; }
  uint32_t pickedId() const { return pickedId_; }
  // The path the template named by `text` is read from, empty when it would lie outside `dir`.
  static QString TemplatePath(const QString& dir, const QString& text);
  // Where the program in `programDirectory` looks for templates, in order: beside the program
  // (a build folder, or a template the user keeps there), then the installed data folder.
  static QStringList TemplateDirectories(const QString& programDirectory);
  // The first of `dirs` that holds the template named by `text`; empty when none does or the
  // name would lead outside them.
  static QString FindTemplate(const QStringList& dirs, const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void reject() override;

 private:
  void InsertRecord(QTreeWidgetItem* parent, CRecord* record);
  void Match(QTreeWidgetItem* item, CRecord* record);
  void MakeLinks(QTreeWidgetItem* item);
  void OnChecked(int state, QTreeWidgetItem* item);
  void OnSelectionChanged();
  CRecord* ObjectRecord();

  CMainFrame* frame_;
  QStringList templateDirectories_;
  std::unique_ptr<CImportParser> linkTemplate_;
  bool picking_ = false;
  QTreeWidgetItem* selectedItem_ = nullptr;
  uint32_t pickedId_ = 0;  // looked up each time, so a deleted record is simply gone
  bool userClicked_ = false;
  uint32_t objectId_ = 0;
  QGroupBox* newLinkFrame_;
  QLabel* newLinkText_;
  QGroupBox* currentLinkFrame_;
  QLabel* currentLinkText_;
  CTSTreeCtrl* tree_;
};
