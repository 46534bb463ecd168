#include "ui/dialogs/import_dlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/document.h"
#include "model/progress.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/history/import_commands.h"
#include "ui/tree/tree_icons.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"
#include "xml/text_codec.h"

namespace {

constexpr int kItemRole = Qt::UserRole;

CImportItem* ImportItemOf(const QTreeWidgetItem* item) {
  return reinterpret_cast<CImportItem*>(item->data(0, kItemRole).value<quintptr>());
}

void SetBranchCheck(QTreeWidgetItem* item, Qt::CheckState state) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (child->flags() & Qt::ItemIsUserCheckable) child->setCheckState(0, state);
    SetBranchCheck(child, state);
  }
}

void FillItem(QTreeWidgetItem* parent, CImportItem& item) {
  for (const auto& child : item.children) {
    auto* w = new QTreeWidgetItem(parent);
    w->setText(0, FromCp1251(child->record->name));
    w->setIcon(0, TreeIcons::Get().ForKind(GetKind(child->record)));
    w->setData(0, kItemRole, QVariant::fromValue(quintptr(child.get())));
    if (child->check != kNoCheckBox)
      w->setCheckState(0, child->check == kChecked ? Qt::Checked : Qt::Unchecked);
    else
      w->setFlags(w->flags() & ~Qt::ItemIsUserCheckable);
    FillItem(w, *child);
  }
}

// The dialog's boxes back into the selection the merge reads.
void SyncChecks(QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    CImportItem* data = ImportItemOf(child);
    if (data && data->check != kNoCheckBox)
      data->check = child->checkState(0) == Qt::Checked ? kChecked : kUnchecked;
    SyncChecks(child);
  }
}

}  // namespace

void CImportTreeCtrl::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  if (item && (item->flags() & Qt::ItemIsUserCheckable) && event->button() == Qt::LeftButton) {
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    opt.rect = visualItemRect(item);
    opt.features |= QStyleOptionViewItem::HasCheckIndicator;
    QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, this);
    if (box.contains(event->position().toPoint()))
      SetBranchCheck(item, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
  QTreeWidget::mousePressEvent(event);
}

CImportDlg::CImportDlg(CMainFrame* frame, uint32_t targetId)
    : QDialog(frame), frame_(frame), targetId_(targetId) {
  setObjectName(QStringLiteral("CImportDlg"));
  setWindowTitle(tr("Импорт даных"));
  tree_ = new CImportTreeCtrl(this);
  tree_->setObjectName(QStringLiteral("importTree"));
  tree_->setHeaderHidden(true);
  tree_->setIconSize(QSize(24, 24));
  tree_->setMouseTracking(true);

  auto* clear = new QPushButton(tr("Снять выделение"), this);
  clear->setObjectName(QStringLiteral("clearButton"));
  auto* cancel = new QPushButton(tr("Отменить"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  auto* more = new QPushButton(QStringLiteral(". . ."), this);
  more->setObjectName(QStringLiteral("moreButton"));
  auto* apply = new QPushButton(tr("Применить"), this);
  apply->setObjectName(QStringLiteral("applyButton"));
  apply->setDefault(true);
  connect(clear, &QPushButton::clicked, this, &CImportDlg::OnClear);
  connect(cancel, &QPushButton::clicked, this, &CImportDlg::reject);
  connect(more, &QPushButton::clicked, this, &CImportDlg::OnMore);
  connect(apply, &QPushButton::clicked, this, &CImportDlg::OnApply);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(clear);
  buttons->addStretch();
  buttons->addWidget(cancel);
  buttons->addWidget(more);
  buttons->addWidget(apply);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tree_);
  layout->addLayout(buttons);
  resize(520, 480);
}

CImportDlg::~CImportDlg() = default;

int CImportDlg::RunModal() {
  if (!ChooseFile()) return QDialog::Rejected;
  if (result() == QDialog::Accepted) return QDialog::Accepted;  // a .c2ko file was merged
  return ::RunModal(*this);
}

bool CImportDlg::ChooseFile() {
  QFileDialog dlg(this, tr("Импорт структуры"));
  dlg.setObjectName(QStringLiteral("importFileDialog"));
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setNameFilters(
      {tr("xml data files (*.xml)"), tr("c2ko data files (*.c2ko)"), tr("All Files (*.*)")});
  dlg.setDefaultSuffix(QStringLiteral("xml"));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  if (::RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  QString path = dlg.selectedFiles().first();
  QString extension = QFileInfo(path).suffix();  // compared case-sensitively, as always
  if (extension == QLatin1String("xml")) return LoadXml(path);
  if (extension == QLatin1String("c2ko")) ImportC2ko(path);
  return true;
}

bool CImportDlg::LoadXml(const QString& path) {
  auto parser = std::make_unique<CImportParser>();
  bool loaded;
  try {
    CProgressDialog progress(isVisible() ? static_cast<QWidget*>(this) : frame_,
                             tr("Чтение файла импорта…"), true);
    loaded = parser->Load(QFile::encodeName(path).toStdString(), &progress);
  } catch (const OperationCancelled&) {
    return false;  // the tree keeps what it showed
  }
  if (!loaded) {
    ShowError(this, QStringLiteral("Kandrel"),
              QString::fromStdString(parser->GetErrorText()) + QStringLiteral("\n") +
                  QString::fromStdString(parser->GetErrorDetail()));
    return true;  // the tree keeps what it showed
  }
  tree_->clear();
  root_ = FillImportTree(*parser, frame_->document().LookupRecord(targetId_));
  parser_ = std::move(parser);
  FillItem(tree_->invisibleRootItem(), *root_);
  tree_->collapseAll();
  return true;
}

void CImportDlg::ImportC2ko(const QString& path) {
  CRecord* target = frame_->selectedRecord();
  if (!AsChildHolder(target)) return;
  C2koOutcome outcome;
  frame_->RunImport(std::make_unique<C2koImportCommand>(target->id, path, &outcome), target->id);
  frame_->AfterTreeChanged();
  if (!outcome.error.isEmpty()) {
    if (outcome.fileNotFound)
      ShowError(this, tr("Error"), tr("File not found :%1").arg(QDir::toNativeSeparators(path)));
    ShowError(this, tr("Error"), tr("Error while data import"));
  }
  setResult(QDialog::Accepted);
  if (isVisible()) accept();
}

void CImportDlg::OnMore() {
  if (!ChooseFile()) reject();
}

void CImportDlg::OnClear() {
  SetBranchCheck(tree_->invisibleRootItem(), Qt::Unchecked);
}

void CImportDlg::OnApply() {
  if (root_) {
    SyncChecks(tree_->invisibleRootItem());
    auto command =
        std::make_unique<XmlImportCommand>(std::move(root_), std::move(parser_), targetId_);
    frame_->RunImport(std::move(command), targetId_);
    frame_->AfterTreeRebuilt();
    tree_->clear();
  }
  accept();
}
