#include "ui/app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "ui/app/modal_runner.h"
#include "ui/app/ui_resources.h"
#include "ui/form/property_form.h"
#include "ui/history/record_commands.h"
#include "ui/links/links_dialog.h"
#include "ui/network/frame_network.h"
#include "ui/tree/find_bar.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  InitUiResources();
  setObjectName(QStringLiteral("CMainFrame"));
  setWindowIcon(QIcon(QStringLiteral(":/kandrel/app/kandrel.svg")));
  setAcceptDrops(true);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();

  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName(QStringLiteral("splitter"));
  splitter_->setChildrenCollapsible(false);
  // The left pane: the find bar, hidden until it is asked for, over the structure tree.
  auto* leftPane = new QWidget(splitter_);
  leftPane->setObjectName(QStringLiteral("leftPane"));
  auto* leftLayout = new QVBoxLayout(leftPane);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->setSpacing(0);
  findBar_ = new CFindBar(this, leftPane);
  treeView_ = new CLeftView(this, &doc_, leftPane);
  leftLayout->addWidget(findBar_);
  leftLayout->addWidget(treeView_, 1);
  formView_ = new CTarnelView(this, splitter_);
  splitter_->addWidget(leftPane);
  splitter_->addWidget(formView_);
  splitter_->setStretchFactor(0, 2);
  splitter_->setStretchFactor(1, 3);
  splitter_->setSizes({500, 700});
  setCentralWidget(splitter_);

  network_ = std::make_unique<FrameNetwork>(this);
  connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
  // The window opens as large as the screen, maximised.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    setGeometry(screen->availableGeometry());
  else
    resize(1200, 800);
}

CMainFrame::~CMainFrame() {
  // Closing the window moves the focus; nothing may update the actions being destroyed.
  disconnect(qApp, nullptr, this, nullptr);
  // The links editor reports to the frame when it hides: it goes while the frame is whole.
  delete linksEditor_.data();
  // The connection goes first, with its close message, while the document still exists.
  network_.reset();
}

CRecord* CMainFrame::selectedRecord() const {
  return doc_.LookupRecord(selectedId_);
}

CRecord* CMainFrame::shownRecord() const {
  return hasShown_ ? doc_.LookupRecord(shownId_) : nullptr;
}

CRecord* CMainFrame::copiedRecord() const {
  return copiedId_ ? doc_.LookupRecord(copiedId_) : nullptr;
}

void CMainFrame::SelectRecord(uint32_t id) {
  selectedId_ = id;
  shownKind_ = kKindNone;
  CRecord* selected = selectedRecord();
  if (linkPickMode_ || linksEditorPicking_) {
    if (linksEditorPicking_ && linksEditor_)
      linksEditor_->OnPicked(id);
    else if (linkPickMode_)
      formView_->ShowPickedId(id);
    UpdateActions();
    return;
  }
  hasShown_ = selected != nullptr;
  shownId_ = selected ? selected->id : 0;
  if (!selected) {
    UpdateActions();
    return;
  }
  shownKind_ = GetKind(selected);
  int wanted = shownKind_ == kKindProperty ? kFormProperty
               : shownKind_ == kKindNone   ? kFormEmpty
                                           : kFormRecord;
  if (formView_->formTemplate() != wanted) {
    CTarnelView::SetCurrentTemplate(wanted);
    ReplaceFormView();
  }
  formView_->RefreshForm();
  UpdateActions();
}

void CMainFrame::ReplaceFormView() {
  CTarnelView* old = formView_;
  formView_ = new CTarnelView(this);
  splitter_->replaceWidget(1, formView_);  // the new view takes the old one's place and size
  old->hide();
  old->deleteLater();
  ++formReplacements_;
}

void CMainFrame::SetLinkPickMode(bool on) {
  linkPickMode_ = on;
  UpdateActions();
}

CLinksDialog* CMainFrame::linksEditor() const {
  return linksEditor_;
}

void CMainFrame::OpenLinksEditor(uint32_t) {
  if (!linksEditor_) linksEditor_ = new CLinksDialog(this);
  // The object that holds the "Links" property's atom: two levels above the tree's row.
  CRecord* property = doc_.LookupRecord(treeView_->currentId());
  CRecord* atom = property ? property->parent : nullptr;
  CRecord* object = atom ? atom->parent : nullptr;
  linksEditor_->SetObjectId(object ? object->id : 0);
}

void CMainFrame::ShowLinksEditor(const QString& text) {
  if (!linksEditor_) return;
  QRect form = formView_->geometry();
  QPoint topLeft = formView_->mapToGlobal(QPoint(0, 0));
  int h = form.height() / 3;
  linksEditor_->setGeometry(topLeft.x(), topLeft.y() + form.height() - h, form.width(), h);
  linksEditor_->show();
  if (!text.isEmpty()) linksEditor_->LoadTemplate(text);
}

void CMainFrame::HideLinksEditor() {
  if (linksEditor_) linksEditor_->hide();
}

bool CMainFrame::RunCommand(std::unique_ptr<CEditCommand> command) {
  EditContext ctx{doc_, {}, {}};
  treeView_->recordModel()->BeginReload();
  bool changed = history_.Run(std::move(command), ctx);
  treeView_->recordModel()->EndReload();
  if (changed) SetModified(true);
  if (!ctx.error.isEmpty()) ShowError(this, QStringLiteral("Kandrel"), ctx.error);
  if (!ctx.notice.isEmpty()) ShowInformation(this, QStringLiteral("Kandrel"), ctx.notice);
  UpdateActions();
  return changed;
}

void CMainFrame::AfterApply() {
  formView_->RefreshForm();
}

void CMainFrame::AfterTreeChanged() {
  // Deletes and pastes can change links anywhere; the icons and the form follow.
  if (CRecord* copied = copiedRecord(); !copied) copiedId_ = 0;
  formView_->RefreshForm();
  UpdateActions();
}

void CMainFrame::InitialUpdate() {
  history_.Clear();
  copiedId_ = 0;
  pasteTargetId_ = 0;
  linkPickMode_ = false;
  hasShown_ = false;
  treeView_->OnInitialUpdate();
  formView_->OnInitialUpdate();
  UpdateActions();
}

void CMainFrame::AfterTreeRebuilt() {
  copiedId_ = 0;
  pasteTargetId_ = 0;
  linkPickMode_ = false;
  hasShown_ = false;
  // The tree kept its open branches and its current row where the same records still stand;
  // the form shows that row's record again.
  uint32_t current = treeView_->currentId();
  if (current && doc_.LookupRecord(current)) {
    treeView_->SelectIndex(treeView_->IndexOfId(current));
  } else {
    treeView_->ResetSelection();
    formView_->OnInitialUpdate();
  }
  UpdateActions();
}

namespace {

// The identifiers in the list the record holds (null: the groups).
std::vector<uint32_t> ListIds(const CTarnelDoc& doc, const CRecord* holder) {
  std::vector<uint32_t> ids;
  if (holder)
    ForEachChild(holder, [&](const CRecord* c) { ids.push_back(c->id); });
  else
    for (const auto& g : doc.groups) ids.push_back(g->id);
  return ids;
}

}  // namespace

bool CMainFrame::RunImport(std::unique_ptr<CEditCommand> command, uint32_t targetId) {
  std::vector<uint32_t> had = ListIds(doc_, doc_.LookupRecord(targetId));
  int before = doc_.idMap.Count();
  bool changed = RunCommand(std::move(command));
  int added = std::max(0, doc_.idMap.Count() - before);
  statusBar()->showMessage(tr("Импортировано записей: %1").arg(added));
  // What came is shown: the branches that joined the target's list, the first one selected.
  uint32_t first = 0;
  for (uint32_t id : ListIds(doc_, doc_.LookupRecord(targetId)))
    if (std::find(had.begin(), had.end(), id) == had.end()) {
      first = id;
      break;
    }
  if (first) treeView_->Reveal(first);
  return changed;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!MaySwitchDocument()) {
    event->ignore();
    return;
  }
  network_->Close();
  event->accept();
}
