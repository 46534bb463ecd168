#include "ui/network/journal_dock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include "model/cp1251.h"
#include "net/base_session.h"
#include "ui/app/main_frame.h"
#include "ui/app/modal_runner.h"
#include "ui/network/frame_network.h"

namespace {

QString Text(const std::string& cp1251) {
  return QString::fromStdString(Cp1251ToUtf8(cp1251));
}

const char* const kOrigins[] = {"apply", "bulk", "paste", "takeover", "send",
                                "undo",  "redo", "save",  "watch",    "cli"};

}  // namespace

CJournalDock::CJournalDock(CMainFrame* frame)
    : QDockWidget(tr("Журнал записи"), frame), frame_(frame) {
  setObjectName(QStringLiteral("journalDock"));
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);

  auto* filters = new QHBoxLayout;
  path_ = new QLineEdit(body);
  path_->setObjectName(QStringLiteral("journalPathFilter"));
  path_->setPlaceholderText(tr("Путь"));
  path_->setClearButtonEnabled(true);
  origin_ = new QComboBox(body);
  origin_->setObjectName(QStringLiteral("journalOriginFilter"));
  origin_->addItem(tr("Все действия"), QString());
  for (const char* o : kOrigins) origin_->addItem(QString::fromLatin1(o), QString::fromLatin1(o));
  sinceOn_ = new QCheckBox(tr("С"), body);
  sinceOn_->setObjectName(QStringLiteral("journalSinceOn"));
  since_ = new QDateTimeEdit(QDateTime::currentDateTime().addSecs(-3600), body);
  since_->setObjectName(QStringLiteral("journalSince"));
  since_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  since_->setCalendarPopup(true);
  since_->setEnabled(false);
  auto* save = new QPushButton(tr("Сохранить CSV…"), body);
  save->setObjectName(QStringLiteral("journalSaveCsv"));
  auto* reload = new QPushButton(tr("Обновить"), body);
  reload->setObjectName(QStringLiteral("journalReload"));
  filters->addWidget(path_, 2);
  filters->addWidget(origin_);
  filters->addWidget(sinceOn_);
  filters->addWidget(since_);
  filters->addWidget(reload);
  filters->addWidget(save);
  layout->addLayout(filters);

  table_ = new QTableWidget(0, 8, body);
  table_->setObjectName(QStringLiteral("journalTable"));
  table_->setHorizontalHeaderLabels({tr("Время"), tr("Пользователь"), tr("Путь"), tr("Тип"),
                                     tr("Было"), tr("Стало"), tr("Действие"), tr("Результат")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->setWordWrap(false);
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  layout->addWidget(table_, 1);
  setWidget(body);

  reload_.setSingleShot(true);
  reload_.setInterval(300);
  connect(&reload_, &QTimer::timeout, this, &CJournalDock::Reload);
  connect(path_, &QLineEdit::textChanged, this, &CJournalDock::Show);
  connect(origin_, &QComboBox::currentIndexChanged, this, &CJournalDock::Show);
  connect(sinceOn_, &QCheckBox::toggled, since_, &QWidget::setEnabled);
  connect(sinceOn_, &QCheckBox::toggled, this, &CJournalDock::Show);
  connect(since_, &QDateTimeEdit::dateTimeChanged, this, &CJournalDock::Show);
  connect(reload, &QPushButton::clicked, this, &CJournalDock::Reload);
  connect(save, &QPushButton::clicked, this, &CJournalDock::OnSaveCsv);
  connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
    if (visible) ScheduleReload();
  });
}

void CJournalDock::ScheduleReload() {
  if (!reload_.isActive()) reload_.start();
}

void CJournalDock::Reload() {
  reload_.stop();
  CBaseSession& session = frame_->network()->session();
  if (!session.GetAddress().empty())
    server_ = session.GetAddress() + ":" + std::to_string(session.GetPort());
  entries_.clear();
  if (!server_.empty()) {
    size_t colon = server_.rfind(':');
    std::string path =
        JournalPathFor(server_.substr(0, colon), std::stoi(server_.substr(colon + 1)));
    for (const std::string& file : JournalFilesOf(path)) {
      try {
        JournalRead read = ReadJournalFile(file);
        for (JournalEntry& e : read.entries) entries_.push_back(std::move(e));
      } catch (const JournalError&) {
        // A file that cannot be read shows nothing; the next reload tries again.
      }
    }
  }
  setWindowTitle(server_.empty() ? tr("Журнал записи")
                                 : tr("Журнал записи: %1").arg(QString::fromStdString(server_)));
  Show();
}

void CJournalDock::Show() {
  QString pathText = path_->text().trimmed();
  QString origin = origin_->currentData().toString();
  QDateTime since = sinceOn_->isChecked() ? since_->dateTime() : QDateTime();
  shown_.clear();
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (!origin.isEmpty() && QString::fromStdString(it->origin) != origin) continue;
    if (!pathText.isEmpty() && !Text(it->path).contains(pathText, Qt::CaseInsensitive)) continue;
    if (since.isValid()) {
      QDateTime t = QDateTime::fromString(QString::fromStdString(it->time), Qt::ISODateWithMs);
      if (!t.isValid() || t < since) continue;
    }
    shown_.push_back(*it);
  }
  table_->setRowCount(int(shown_.size()));
  for (int row = 0; row < int(shown_.size()); ++row) {
    const JournalEntry& e = shown_[size_t(row)];
    QDateTime t = QDateTime::fromString(QString::fromStdString(e.time), Qt::ISODateWithMs);
    const QString cells[8] = {
        t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                    : QString::fromStdString(e.time),
        QString::fromStdString(e.user + "@" + e.host),
        Text(e.path),
        QString::fromStdString(e.type),
        Text(e.oldText),
        Text(e.newText),
        QString::fromStdString(e.origin),
        QString::fromStdString(e.result)};
    for (int c = 0; c < 8; ++c) table_->setItem(row, c, new QTableWidgetItem(cells[c]));
  }
}

bool CJournalDock::WriteCsv(const QString& path, QString* error) const {
  std::string text = JournalCsvHeader();
  for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) text += JournalCsvRow(*it);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit()) {
    *error = tr("%1: не удалось записать файл: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

void CJournalDock::OnSaveCsv() {
  QString path =
      QFileDialog::getSaveFileName(this, tr("Сохранить CSV"), QString(), tr("CSV (*.csv)"));
  if (path.isEmpty()) return;
  QString error;
  if (!WriteCsv(path, &error)) ShowError(this, QStringLiteral("Kandrel"), error);
}
