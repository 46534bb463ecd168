#include "ui/compare/compare_owner.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <new>
#include <utility>

#include "model/base_takeover.h"
#include "model/document.h"
#include "model/edit_history.h"
#include "model/progress.h"
#include "model/records.h"
#include "net/base_session.h"
#include "net/write_gate.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/compare/compare_session.h"
#include "ui/compare/difference_marks.h"
#include "ui/compare/difference_model.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/network/frame_network.h"
#include "ui/tree/structure_tree.h"
#include "xml/text_codec.h"

namespace {

// The fields the side-by-side table shows, after the path and the identifier.
constexpr int kFieldRowsStart = 2;

}  // namespace

CCompareOwner::CCompareOwner(CMainFrame* frame)
    : QObject(nullptr),
      frame_(frame),
      session_(new CCompareSession(frame->document(), this)),
      marks_(std::make_unique<CDifferenceMarks>()) {
  CreateActions();
  CreateDock();
  connect(session_, &CCompareSession::resultChanged, this, &CCompareOwner::ShowResult);
  connect(session_, &CCompareSession::refreshFailed, this, [this] {
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Не хватило памяти, чтобы обновить сравнение; оно закрыто. Документ не "
                 "изменён."));
  });
  CBaseSession& session = frame_->network()->session();
  connect(&session, &CBaseSession::baseCopyArrived, this, &CCompareOwner::OnBaseCopyArrived);
  connect(&session, &CBaseSession::disconnected, this, [this] {
    awaitingServer_ = false;
    EndProgress();
    UpdateActions();
  });
  connect(&session, &CNetClient::bytesArrived, this, [this](qint64 n) {
    if (progress_) progress_->AddReceived(n);
  });
  UpdateActions();
}

CCompareOwner::~CCompareOwner() {
  delete progress_;
  if (CLeftView* tree = frame_->GetTreeView())
    if (tree->recordModel()->marks() == marks_.get()) tree->recordModel()->SetMarks(nullptr);
}

void CCompareOwner::CreateActions() {
  auto make = [this](const QString& text, const char* name, const QString& tip) {
    auto* a = new QAction(text, frame_);
    a->setObjectName(QLatin1String(name));
    a->setStatusTip(tip);
    a->setToolTip(tip);
    frame_->addAction(a);  // the keys work wherever the focus is in the window
    return a;
  };
  compareFile_ = make(tr("Сравнить с файлом…"), "actionCompareFile",
                      tr("Сравнить документ с другим файлом .kdl, не меняя документ"));
  compareServer_ = make(tr("Сравнить с сервером"), "actionCompareServer",
                        tr("Сравнить документ с базой, которую держит сервер"));
  next_ = make(tr("Следующее различие"), "actionNextDifference", tr("Следующее различие (F8)"));
  next_->setShortcut(QKeySequence(Qt::Key_F8));
  previous_ = make(tr("Предыдущее различие"), "actionPreviousDifference",
                   tr("Предыдущее различие (Shift+F8)"));
  previous_->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));
  takeSelected_ = make(tr("Перенести выбранные"), "actionTakeOverSelected",
                       tr("Перенести выбранные различия из другой базы в документ"));
  takeAll_ = make(tr("Перенести все"), "actionTakeOverAll",
                  tr("Перенести все различия из другой базы в документ"));
  sendValues_ = make(tr("Отправить значения"), "actionSendValues",
                     tr("Отправить серверу значения документа, которые отличаются от его"));
  close_ = make(tr("Закрыть сравнение"), "actionCloseCompare", tr("Закрыть сравнение"));

  connect(compareFile_, &QAction::triggered, this, [this] {
    QFileDialog dlg(frame_, tr("Сравнить с файлом"));
    dlg.setObjectName(QStringLiteral("compareFileDialog"));
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(CMainFrame::tr("Kandrel Files (*.kdl) "));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
    CompareWithFile(dlg.selectedFiles().first());
  });
  connect(compareServer_, &QAction::triggered, this, [this] { CompareWithServer(); });
  connect(next_, &QAction::triggered, this, [this] { Step(true); });
  connect(previous_, &QAction::triggered, this, [this] { Step(false); });
  connect(takeSelected_, &QAction::triggered, this, [this] { TakeOverSelected(); });
  connect(takeAll_, &QAction::triggered, this, [this] { TakeOverAll(); });
  connect(sendValues_, &QAction::triggered, this, [this] { SendValues(); });
  connect(close_, &QAction::triggered, this, [this] { Close(); });

  menu_ = new QMenu(tr("Сравнение"), frame_);
  menu_->setObjectName(QStringLiteral("menuCompare"));
  menu_->addAction(compareFile_);
  menu_->addAction(compareServer_);
  menu_->addSeparator();
  menu_->addAction(next_);
  menu_->addAction(previous_);
  menu_->addSeparator();
  menu_->addAction(takeSelected_);
  menu_->addAction(takeAll_);
  menu_->addAction(sendValues_);
  menu_->addSeparator();
  menu_->addAction(close_);
  connect(menu_, &QMenu::aboutToShow, this, &CCompareOwner::UpdateActions);
  // Before "О программе", which stays last.
  QMenuBar* bar = frame_->menuBar();
  QMenu* about = bar->findChild<QMenu*>(QStringLiteral("menuAbout"));
  if (about)
    bar->insertMenu(about->menuAction(), menu_);
  else
    bar->addMenu(menu_);
}

void CCompareOwner::CreateDock() {
  dock_ = new QDockWidget(tr("Различия"), frame_);
  dock_->setObjectName(QStringLiteral("differencesDock"));
  dock_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
  dock_->installEventFilter(this);
  auto* body = new QWidget(dock_);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(2);

  auto* bar = new QHBoxLayout;
  bar->setSpacing(4);
  title_ = new QLabel(body);
  title_->setObjectName(QStringLiteral("compareTitle"));
  bar->addWidget(title_);
  bar->addSpacing(8);
  for (int k = 0; k < kDifferenceKindCount; ++k) {
    auto* b = new QToolButton(body);
    b->setObjectName(QStringLiteral("kindFilter%1").arg(k));
    b->setCheckable(true);
    b->setChecked(true);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIcon(DifferenceIcon(DifferenceKind(k)));
    b->setToolTip(tr("Показывать или скрывать различия этого вида"));
    connect(b, &QToolButton::toggled, this, [this] {
      uint8_t kinds = 0;
      for (int i = 0; i < kDifferenceKindCount; ++i)
        if (kindButtons_[i]->isChecked()) kinds |= uint8_t(1 << i);
      model_->SetKindFilter(kinds);
      list_->expandToDepth(0);
      UpdateActions();
    });
    kindButtons_[k] = b;
    bar->addWidget(b);
  }
  valuesToo_ = new QCheckBox(tr("Значения тоже"), body);
  valuesToo_->setObjectName(QStringLiteral("valuesToo"));
  valuesToo_->setToolTip(tr("Сравнивать и значения свойств, а не только структуру"));
  valuesToo_->setChecked(true);
  connect(valuesToo_, &QCheckBox::toggled, this, &CCompareOwner::SetValuesToo);
  bar->addWidget(valuesToo_);
  bar->addStretch(1);
  for (QAction* a : {previous_, next_, takeSelected_, takeAll_, sendValues_}) {
    auto* b = new QToolButton(body);
    b->setDefaultAction(a);
    b->setAutoRaise(true);
    bar->addWidget(b);
  }
  layout->addLayout(bar);

  auto* split = new QSplitter(Qt::Horizontal, body);
  split->setChildrenCollapsible(false);
  model_ = new CDifferenceModel(dock_);
  list_ = new QTreeView(split);
  list_->setObjectName(QStringLiteral("differencesList"));
  list_->setModel(model_);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setStretchLastSection(true);
  list_->setColumnWidth(CDifferenceModel::kColumnRecord, 260);
  list_->setColumnWidth(CDifferenceModel::kColumnKind, 110);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CCompareOwner::OnCurrentChanged);

  sides_ = new QTableWidget(kFieldRowsStart + kDifferenceFieldCount, 2, split);
  sides_->setObjectName(QStringLiteral("differenceSides"));
  sides_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Long paths keep their end, the record's own name, in sight.
  sides_->setWordWrap(false);
  sides_->setTextElideMode(Qt::ElideLeft);
  sides_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  sides_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  QStringList rows{tr("Путь"), tr("Идентификатор")};
  for (int f = 0; f < kDifferenceFieldCount; ++f) rows << DifferenceFieldText(f);
  sides_->setVerticalHeaderLabels(rows);
  split->addWidget(list_);
  split->addWidget(sides_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  layout->addWidget(split, 1);

  dock_->setWidget(body);
  frame_->addDockWidget(Qt::BottomDockWidgetArea, dock_);
  dock_->hide();
}

bool CCompareOwner::eventFilter(QObject* watched, QEvent* event) {
  // The dock's close button ends the comparison, marks included.
  if (watched == dock_ && event->type() == QEvent::Close && IsOpen())
    QTimer::singleShot(0, this, &CCompareOwner::Close);
  return QObject::eventFilter(watched, event);
}

bool CCompareOwner::CompareWithFile(const QString& path) {
  auto other = std::make_unique<CTarnelDoc>();
  CProgressDialog progress(frame_, tr("Сравнение с файлом…"), true);
  // Reading the other file costs more than comparing with it.
  constexpr uint64_t kScale = 10000, kReadShare = kScale * 3 / 4;
  ProgressShare reading(&progress, 0, kReadShare, kScale);
  ProgressShare comparing(&progress, kReadShare, kScale, kScale);
  try {
    other->OpenFile(QFile::encodeName(path).toStdString(), &reading);
    CompareOptions options = session_->options();
    options.ignoreValues = false;
    Open(std::move(other), tr("Файл: %1").arg(QFileInfo(path).fileName()), false, options,
         &comparing);
  } catch (const OperationCancelled&) {
    // Nothing was shown yet: a comparison open before stays as it was.
    frame_->statusBar()->showMessage(tr("Сравнение отменено"), 8000);
    return false;
  } catch (const DocumentFileError& e) {
    progress.Finish();
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Не удалось сравнить с файлом %1: %2")
                  .arg(QDir::toNativeSeparators(path), QString::fromStdString(e.what())));
    return false;
  } catch (const std::bad_alloc&) {
    // The document is only read by a comparison: it stays as it was.
    progress.Finish();
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Не хватило памяти для сравнения с файлом %1. Документ не изменён.")
                  .arg(QDir::toNativeSeparators(path)));
    return false;
  }
  return true;
}

void CCompareOwner::CompareWithDocument(std::unique_ptr<CTarnelDoc> other,
                                        const QString& otherName) {
  CompareOptions options;
  options.byPath = false;
  options.ignoreValues = false;
  Open(std::move(other), otherName, false, options, nullptr);
}

bool CCompareOwner::CompareWithServer() {
  CBaseSession& session = frame_->network()->session();
  if (!session.IsConnected() || !session.RequestBaseCopy()) {
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Нет подключения к серверу: сравнивать не с чем."));
    return false;
  }
  awaitingServer_ = true;
  resending_ = false;
  frame_->statusBar()->showMessage(tr("Запрошена база сервера для сравнения…"));
  EndProgress();
  progress_ = new CProgressDialog(frame_, tr("Сравнение с сервером: получение базы…"), true);
  connect(progress_, &CProgressDialog::cancelled, this, [this] {
    // The base is dropped when it comes; a comparison open before stays as it was.
    frame_->network()->session().DropRequestedBase();
    awaitingServer_ = false;
    EndProgress();
    frame_->statusBar()->showMessage(tr("Сравнение отменено"), 8000);
    UpdateActions();
  });
  progress_->Start();
  UpdateActions();
  return true;
}

void CCompareOwner::CompareWithServerBase(std::unique_ptr<CTarnelDoc> other) {
  CBaseSession& session = frame_->network()->session();
  CompareOptions options = session_->options();
  // A live server's values move all the time: the structure comes first.
  options.ignoreValues = true;
  Open(std::move(other),
       tr("Сервер: %1:%2").arg(QString::fromStdString(session.GetAddress())).arg(session.GetPort()),
       true, options, nullptr);
}

void CCompareOwner::EndProgress() {
  if (!progress_) return;
  progress_->Finish();
  // It may be its own signal that led here.
  std::exchange(progress_, nullptr)->deleteLater();
}

void CCompareOwner::OnBaseCopyArrived() {
  std::unique_ptr<CTarnelDoc> other = frame_->network()->session().TakeBaseCopy();
  if (!other || !awaitingServer_) return;
  awaitingServer_ = false;
  EndProgress();
  if (resending_ && IsOpen() && session_->otherIsServer()) {
    // The base after "Отправить значения": the same comparison, on the server's new values.
    resending_ = false;
    session_->ReplaceOther(std::move(other));
    return;
  }
  CBaseSession& session = frame_->network()->session();
  // A live server's values move all the time: the structure comes first.
  CompareOptions options = session_->options();
  options.ignoreValues = true;
  try {
    Open(std::move(other),
         tr("Сервер: %1:%2")
             .arg(QString::fromStdString(session.GetAddress()))
             .arg(session.GetPort()),
         true, options, nullptr);
  } catch (const std::bad_alloc&) {
    ShowError(frame_, QStringLiteral("Kandrel"),
              tr("Не хватило памяти для сравнения с базой сервера. Документ не изменён."));
  }
}

void CCompareOwner::Open(std::unique_ptr<CTarnelDoc> other, const QString& otherName, bool server,
                         const CompareOptions& options, IProgress* progress) {
  {
    QSignalBlocker quiet(session_);  // shown once the dock is up
    session_->Open(std::move(other), otherName, server, options, progress);
  }
  Present();
}

void CCompareOwner::CompareWithDifferences(CompareResult result, const QString& otherName,
                                           Recompute recompute) {
  {
    QSignalBlocker quiet(session_);  // shown once the dock is up
    session_->OpenDifferences(std::move(result), otherName, std::move(recompute));
  }
  Present();
}

void CCompareOwner::Present() {
  {
    QSignalBlocker block(valuesToo_);
    valuesToo_->setChecked(valuesToo());
  }
  sides_->setHorizontalHeaderLabels({tr("Документ"), session_->otherName()});
  dock_->show();
  dock_->raise();  // the tab in front
  ShowResult();
  list_->setFocus();
  if (shown_ && shown_->Equal())
    frame_->statusBar()->showMessage(tr("Различий нет"));
  else
    Step(true);
}

bool CCompareOwner::IsOpen() const {
  return session_->IsOpen();
}

const CompareResult* CCompareOwner::result() const {
  return session_->result().get();
}

bool CCompareOwner::valuesToo() const {
  return !session_->options().ignoreValues;
}

void CCompareOwner::Refresh() {
  session_->Refresh();
}

void CCompareOwner::ShowResult() {
  if (!session_->IsOpen()) {
    // Closed: the dock hides and the tree loses its marks.
    shown_.reset();
    model_->SetResult(nullptr);
    ShowMarks();
    dock_->hide();
    UpdateActions();
    return;
  }
  // The current row stays where the same record still differs.
  bool keepSecond = false;
  uint32_t keepId = 0;
  if (int d = CurrentDifference(); shown_ && d >= 0) {
    const Difference& was = shown_->differences[size_t(d)];
    keepSecond = was.OnSecond();
    keepId = keepSecond ? was.secondId : was.firstId;
  }
  shown_ = session_->result();
  model_->SetResult(shown_);
  list_->expandToDepth(0);
  if (keepId != 0) {
    QModelIndex again;
    for (size_t k = 0; k < shown_->differences.size() && !again.isValid(); ++k) {
      const Difference& d = shown_->differences[k];
      if (d.OnSecond() == keepSecond && (keepSecond ? d.secondId : d.firstId) == keepId)
        again = model_->IndexOfDifference(int(k));
    }
    if (again.isValid()) {
      QSignalBlocker block(list_->selectionModel());
      list_->setCurrentIndex(again);
      list_->scrollTo(again);
    }
  }
  ShowSides(CurrentDifference());
  const QString& otherName = session_->otherName();
  title_->setText(shown_->Equal() ? tr("Документ ↔ %1: различий нет").arg(otherName)
                                  : tr("Документ ↔ %1").arg(otherName));
  ShowMarks();
  UpdateCounts();
  UpdateActions();
}

void CCompareOwner::Close() {
  awaitingServer_ = false;
  resending_ = false;
  session_->Close();
}

void CCompareOwner::SetValuesToo(bool on) {
  if (valuesToo_->isChecked() != on) {
    QSignalBlocker block(valuesToo_);
    valuesToo_->setChecked(on);
  }
  session_->SetIgnoreValues(!on);
}

void CCompareOwner::Step(bool forward) {
  if (!IsOpen()) return;
  QModelIndex next = model_->Step(list_->currentIndex(), forward);
  if (!next.isValid()) {
    frame_->statusBar()->showMessage(tr("Различий нет"));
    return;
  }
  list_->selectionModel()->setCurrentIndex(
      next, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(next);
}

int CCompareOwner::CurrentDifference() const {
  QVariant d = model_->data(list_->currentIndex(), CDifferenceModel::kDifferenceRole);
  return d.isValid() ? d.toInt() : -1;
}

void CCompareOwner::OnCurrentChanged() {
  int d = CurrentDifference();
  ShowSides(d);
  if (d < 0 || !shown_) return;
  uint32_t id = shown_->NearestFirstId(shown_->differences[size_t(d)]);
  if (id && !frame_->document().LookupRecord(id)) return;
  // The structure tree shows the record; the focus stays in the list, so F8 goes on from here.
  QWidget* focus = QApplication::focusWidget();
  frame_->RevealRecord(id);
  if (focus) focus->setFocus();
}

void CCompareOwner::ShowSides(int difference) {
  // The rows are measured once, after all cells are set: measured as each cell is set, every
  // cell would measure all rows again.
  QHeaderView* rows = sides_->verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  FillSides(difference);
  rows->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void CCompareOwner::FillSides(int difference) {
  for (int row = 0; row < sides_->rowCount(); ++row)
    for (int col = 0; col < 2; ++col) sides_->setItem(row, col, nullptr);
  if (difference < 0 || !shown_) return;
  // Every difference of the record's row counts: a changed and moved record shows both.
  std::vector<int> all = model_->DifferencesAt(list_->currentIndex());
  if (all.empty()) all.push_back(difference);
  const Difference& d = shown_->differences[size_t(difference)];
  uint8_t fields = 0;
  bool pathDiffers = false;
  for (int i : all) {
    const Difference& e = shown_->differences[size_t(i)];
    if (e.kind == DifferenceKind::kChanged) fields |= e.fields;
    if (e.kind == DifferenceKind::kMoved) pathDiffers = true;
  }
  auto put = [this](int row, int col, const QString& text, bool differs) {
    auto* item = new QTableWidgetItem(text);
    if (differs) {
      item->setBackground(DifferenceTint(DifferenceKind::kChanged));
      QFont f = item->font();
      f.setBold(true);
      item->setFont(f);
    }
    sides_->setItem(row, col, item);
  };
  bool both = d.first >= 0 && d.second >= 0;
  for (int col = 0; col < 2; ++col) {
    bool second = col == 1;
    bool has = second ? d.second >= 0 : d.first >= 0;
    if (!has) {
      put(0, col, tr("(нет записи)"), true);
      continue;
    }
    put(0, col, FromCp1251(shown_->ShownPathOf(second, second ? d.second : d.first)), pathDiffers);
    put(1, col, QString::number(second ? d.secondId : d.firstId), false);
    // A field stands out where the comparison found it differs, and where its two texts do
    // (a pattern that goes with a changed value text).
    for (int f = 0; f < kDifferenceFieldCount; ++f)
      put(kFieldRowsStart + f, col, FromCp1251(shown_->FieldText(d, second, f)),
          (fields & (1 << f)) ||
              (both && shown_->FieldText(d, false, f) != shown_->FieldText(d, true, f)));
  }
}

void CCompareOwner::ShowMarks() {
  marks_->Set(shown_.get());
  frame_->GetTreeView()->recordModel()->SetMarks(shown_ ? marks_.get() : nullptr);
  frame_->GetTreeView()->viewport()->update();
}

void CCompareOwner::UpdateCounts() {
  for (int k = 0; k < kDifferenceKindCount; ++k)
    kindButtons_[k]->setText(QStringLiteral("%1: %2")
                                 .arg(DifferenceKindText(DifferenceKind(k)))
                                 .arg(model_->Count(DifferenceKind(k))));
}

void CCompareOwner::UpdateActions() {
  bool connected = frame_->network()->connected() && frame_->network()->session().IsConnected();
  bool differs = shown_ && !shown_->Equal();
  compareFile_->setEnabled(true);
  compareServer_->setEnabled(connected && !awaitingServer_);
  next_->setEnabled(IsOpen() && model_->ShownCount() > 0);
  previous_->setEnabled(IsOpen() && model_->ShownCount() > 0);
  takeSelected_->setEnabled(differs);
  takeAll_->setEnabled(differs);
  sendValues_->setEnabled(IsOpen() && session_->otherIsServer() && connected);
  close_->setEnabled(IsOpen());
}

bool CCompareOwner::TakeOverSelected() {
  if (!shown_) return false;
  std::vector<uint8_t> selected(shown_->differences.size(), 0);
  bool any = false;
  for (const QModelIndex& row : list_->selectionModel()->selectedRows())
    for (int i : model_->DifferencesAt(row)) selected[size_t(i)] = any = true;
  if (!any) {
    frame_->statusBar()->showMessage(tr("Не выбрано ни одного различия"));
    return false;
  }
  return RunTakeOver(std::move(selected));
}

bool CCompareOwner::TakeOverAll() {
  if (!shown_) return false;
  return RunTakeOver(std::vector<uint8_t>(shown_->differences.size(), 1));
}

bool CCompareOwner::RunTakeOver(std::vector<uint8_t> selected) {
  TakeOverOutcome outcome;
  CWriteGate::Action writes(&frame_->network()->gate(), WriteOrigin::kTakeover);
  bool changed = frame_->RunCommand(session_->TakeOverCommand(std::move(selected), &outcome));
  frame_->AfterTreeRebuilt();
  session_->Refresh();
  QString text = tr("Перенесено: удалено %1, добавлено %2, изменено %3, перемещено %4")
                     .arg(outcome.removed)
                     .arg(outcome.added)
                     .arg(outcome.changed)
                     .arg(outcome.moved);
  if (outcome.notTaken) text += tr("; не перенесено: %1").arg(outcome.notTaken);
  frame_->statusBar()->showMessage(text);
  return changed;
}

int CCompareOwner::SendValues() {
  CBaseSession& session = frame_->network()->session();
  if (!IsOpen() || !session_->otherIsServer() || !session.IsConnected()) return 0;
  std::vector<ValueWrite> batch = session_->ValuesToSend();
  int sent = session.Gate().Submit(std::move(batch));
  frame_->statusBar()->showMessage(tr("Отправлено значений: %1").arg(sent));
  // The server applies them in order, so the base asked for next holds them: the comparison
  // is brought up to date with it.
  if (sent > 0 && session.RequestBaseCopy()) {
    awaitingServer_ = true;
    resending_ = true;
  }
  return sent;
}
