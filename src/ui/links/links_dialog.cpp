#include "ui/links/links_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QStatusBar>
#include <functional>

#include "model/document.h"
#include "model/record_lookup.h"
#include "model/value_types.h"
#include "ui/app/data_paths.h"
#include "ui/app/main_frame.h"
#include "ui/history/link_commands.h"
#include "ui/links/ts_tree_ctrl.h"
#include "xml/import_parser.h"
#include "xml/text_codec.h"

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kLabelRole = Qt::UserRole + 1;  // the label's windows-1251 bytes

std::string LabelOf(const QTreeWidgetItem* item) {
  return item->data(0, kLabelRole).toByteArray().toStdString();
}

uint32_t IdOf(const QTreeWidgetItem* item) {
  return item ? item->data(0, kIdRole).toUInt() : 0;
}

void ForEachDescendant(QTreeWidgetItem* item, const std::function<void(QTreeWidgetItem*)>& f) {
  for (int i = 0; i < item->childCount(); ++i) {
    f(item->child(i));
    ForEachDescendant(item->child(i), f);
  }
}

}  // namespace

CLinksDialog::CLinksDialog(CMainFrame* frame, const QStringList& templateDirectories)
    : QDialog(frame, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      frame_(frame),
      templateDirectories_(templateDirectories) {
  setObjectName(QStringLiteral("CLinksDialog"));
  setWindowTitle(tr("Links"));
  setModal(false);
  newLinkFrame_ = new QGroupBox(tr("Новый линк"), this);
  newLinkFrame_->setObjectName(QStringLiteral("newLinkFrame"));
  newLinkText_ = new QLabel(QStringLiteral("---"), newLinkFrame_);
  newLinkText_->setObjectName(QStringLiteral("newLinkText"));
  currentLinkFrame_ = new QGroupBox(tr("Текущий линк"), this);
  currentLinkFrame_->setObjectName(QStringLiteral("currentLinkFrame"));
  currentLinkText_ = new QLabel(QStringLiteral("---"), currentLinkFrame_);
  currentLinkText_->setObjectName(QStringLiteral("currentLinkText"));
  for (QLabel* l : {newLinkText_, currentLinkText_}) l->setTextFormat(Qt::PlainText);
  tree_ = new CTSTreeCtrl(this);
  tree_->setObjectName(QStringLiteral("templateTree"));
  connect(tree_, &CTSTreeCtrl::Checked, this, &CLinksDialog::OnChecked);
  connect(tree_, &QTreeWidget::currentItemChanged, this, &CLinksDialog::OnSelectionChanged);
  // Every press inside the editor is seen before the widget under the cursor gets it.
  qApp->installEventFilter(this);
  resize(848, 366);  // 424 by 225 dialog units
}

CLinksDialog::~CLinksDialog() {
  qApp->removeEventFilter(this);
}

QString CLinksDialog::TemplatePath(const QString& dir, const QString& text) {
  // A template lies in the program's directory or below it, never elsewhere.
  std::string name = LinkTemplateName(text.toStdString());
  return name.empty() ? QString() : QDir(dir).filePath(QString::fromStdString(name));
}

QStringList CLinksDialog::TemplateDirectories(const QString& program) {
  // The data folder of the prefix the program was built for, and the one of the prefix it
  // lies in now (an installation moved elsewhere, or installed with another prefix).
  QStringList dirs{program, InstalledDataDirectory(),
                   QDir::cleanPath(program + QStringLiteral("/../share/kandrel"))};
  dirs.removeDuplicates();
  return dirs;
}

QString CLinksDialog::FindTemplate(const QStringList& dirs, const QString& text) {
  for (const QString& dir : dirs) {
    const QString path = TemplatePath(dir, text);
    if (!path.isEmpty() && QFileInfo(path).isFile()) return path;
  }
  return {};
}

void CLinksDialog::SetPicking(bool on) {
  picking_ = on;
  frame_->SetLinksEditorPicking(on);
}

void CLinksDialog::LoadTemplate(const QString& text) {
  pickedId_ = 0;
  selectedItem_ = nullptr;
  const QStringList& dirs = templateDirectories_;
  QString path = dirs.isEmpty() ? QString() : TemplatePath(dirs.first(), text);
  if (path.isEmpty()) {
    frame_->statusBar()->showMessage(
        tr("Шаблон линков \"%1\" должен лежать в папке программы").arg(text), 8000);
    return;
  }
  // A template found nowhere is read from the program's directory, so the error names it.
  if (const QString found = FindTemplate(dirs, text); !found.isEmpty()) path = found;
  linkTemplate_.reset();
  auto parser = std::make_unique<CImportParser>();
  if (!parser->Load(QFile::encodeName(path).toStdString())) {
    // The tree keeps what it showed; the reason goes to the status bar, not a message box.
    frame_->statusBar()->showMessage(QString::fromStdString(parser->GetErrorDetail()), 8000);
    return;
  }
  linkTemplate_ = std::move(parser);
  tree_->clear();
  for (int i = 0; i < linkTemplate_->GetRecordCount(); ++i)
    InsertRecord(tree_->invisibleRootItem(), linkTemplate_->GetRecord(i));
  // Matched against the object that holds the atom of the "Links" property.
  CRecord* links = frame_->selectedRecord();
  CRecord* atom = AsProperty(links) ? links->parent : nullptr;
  CRecord* object = atom ? atom->parent : nullptr;
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) Match(tree_->topLevelItem(i), object);
  selectedItem_ = nullptr;
}

void CLinksDialog::InsertRecord(QTreeWidgetItem* parent, CRecord* record) {
  std::string label = record->name;
  if (const CPropertyItem* p = AsProperty(record)) label += "=" + p->valueText;
  auto* item = new QTreeWidgetItem(parent);
  item->setText(0, FromCp1251(label));
  item->setData(0, kLabelRole, QByteArray::fromStdString(label));
  item->setData(0, kIdRole, 0u);  // no record until matched
  tree_->SetState(item, CTSTreeCtrl::kUnchecked);
  if (CChildHolder* h = AsChildHolder(record))
    for (CRecord* c : h->children) InsertRecord(item, c);
  else if (CAtom* a = AsAtom(record))
    for (CPropertyItem* p : a->properties) InsertRecord(item, p);
}

void CLinksDialog::Match(QTreeWidgetItem* item, CRecord* record) {
  CRecord* child = FindChild(record, LabelOf(item));
  if (!child) return;
  item->setData(0, kIdRole, child->id);
  for (int i = 0; i < item->childCount(); ++i) Match(item->child(i), child);
  if (const CPropertyItem* p = AsProperty(child); p && p->typeCode == kTypeLinkTo)
    tree_->Toggle(item);
}

CRecord* CLinksDialog::ObjectRecord() {
  return frame_->document().LookupRecord(objectId_);
}

void CLinksDialog::Refresh() {
  CRecord* object = ObjectRecord();
  tree_->ClearAll(nullptr);
  tree_->quiet = true;
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) Match(tree_->topLevelItem(i), object);
  tree_->quiet = false;
}

void CLinksDialog::OnChecked(int state, QTreeWidgetItem* item) {
  CTarnelDoc& doc = frame_->document();
  if (state == CTSTreeCtrl::kUnchecked) {
    std::vector<uint32_t> links;
    ForEachDescendant(item, [&](QTreeWidgetItem* d) {
      const CPropertyItem* p = AsProperty(doc.LookupRecord(IdOf(d)));
      if (p && p->typeCode == kTypeLinkTo) links.push_back(p->id);
    });
    if (!links.empty()) frame_->RunCommand(std::make_unique<UnlinkCommand>(std::move(links)));
  } else if (state == CTSTreeCtrl::kChecked && userClicked_) {
    MakeLinks(item);
    Refresh();
  }
}

void CLinksDialog::MakeLinks(QTreeWidgetItem* item) {
  CTarnelDoc& doc = frame_->document();
  if (!doc.LookupRecord(pickedId_)) return;
  std::vector<std::pair<uint32_t, std::string>> links;
  ForEachDescendant(item, [&](QTreeWidgetItem* d) {
    const CPropertyItem* p = AsProperty(doc.LookupRecord(IdOf(d)));
    if (!p) return;
    std::string text = LabelOf(d);
    if (size_t eq = text.find('=', 1); eq != std::string::npos && !text.empty())
      text = text.substr(eq + 1);
    links.emplace_back(p->id, text);
  });
  if (!links.empty())
    frame_->RunCommand(std::make_unique<MakeLinksCommand>(pickedId_, std::move(links)));
}

void CLinksDialog::OnPicked(uint32_t id) {
  pickedId_ = id;
  RefreshLabels();
}

void CLinksDialog::OnSelectionChanged() {
  selectedItem_ = tree_->currentItem();
  RefreshLabels();
}

void CLinksDialog::RefreshLabels() {
  CTarnelDoc& doc = frame_->document();
  QString current;
  if (selectedItem_) {
    CRecord* rec = doc.LookupRecord(IdOf(selectedItem_));
    if (rec) {
      CRecord* target = rec;
      if (const CPropertyItem* p = AsProperty(rec); p && p->typeCode == kTypeLinkTo)
        target = doc.LookupRecord(uint32_t(AtoI(p->valueText)));
      std::string text = LabelOf(selectedItem_) + "-->>";
      if (AsProperty(rec) && target) text += GetRecordPath(target);
      current = FromCp1251(text);
    }
  }
  currentLinkText_->setText(current.isEmpty() ? QStringLiteral("---") : current);
  if (selectedItem_) {
    CRecord* picked = doc.LookupRecord(pickedId_);
    if (!pickedId_ || !picked)
      newLinkText_->setText(QStringLiteral("---"));
    else
      newLinkText_->setText(AsAtom(picked) ? FromCp1251(GetRecordPath(picked)) : QString());
  }
}

bool CLinksDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && (w == this || isAncestorOf(w))) {
      SetPicking(true);
      userClicked_ = true;
      tree_->locked = !AsAtom(frame_->document().LookupRecord(pickedId_));
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CLinksDialog::closeEvent(QCloseEvent* event) {
  SetPicking(false);
  QDialog::closeEvent(event);
}

void CLinksDialog::reject() {
  SetPicking(false);
  hide();  // kept for the next "Links" property
}

void CLinksDialog::hideEvent(QHideEvent* event) {
  // A hidden editor cannot take a pick: the tree goes back to showing records.
  if (picking_) SetPicking(false);
  QDialog::hideEvent(event);
}

void CLinksDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  int w = width();
  int h = 38;
  tree_->setGeometry(0, h, w, height() - h);
  newLinkFrame_->setGeometry(0, 0, w / 2, h);
  newLinkText_->setGeometry(10, 15, w / 2 - 20, h - 25 + 6);
  currentLinkFrame_->setGeometry(w / 2 + 1, 0, w / 2, h);
  currentLinkText_->setGeometry(10, 15, w / 2 - 20, h - 25 + 6);
}
