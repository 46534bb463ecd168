#include "ui/tree/find_bar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

#include "model/document.h"
#include "model/document_edits.h"
#include "model/record_search.h"
#include "ui/app/main_frame.h"
#include "ui/tree/structure_tree.h"
#include "xml/text_codec.h"

CFindBar::CFindBar(CMainFrame* frame, QWidget* parent) : QWidget(parent), frame_(frame) {
  setObjectName(QStringLiteral("findBar"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(4);
  mode_ = new QComboBox(this);
  mode_->setObjectName(QStringLiteral("findMode"));
  mode_->addItem(tr("Имя"), int(FindMode::kName));
  mode_->addItem(tr("Путь"), int(FindMode::kPath));
  mode_->addItem(tr("Идентификатор"), int(FindMode::kId));
  text_ = new QLineEdit(this);
  text_->setObjectName(QStringLiteral("findText"));
  text_->setPlaceholderText(tr("Найти"));
  text_->setClearButtonEnabled(true);
  text_->installEventFilter(this);
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("findCount"));
  count_->setMinimumWidth(
      count_->fontMetrics().horizontalAdvance(QStringLiteral("00000 из 00000")));
  auto button = [this](const char* name, const QString& text, const QString& tip) {
    auto* b = new QToolButton(this);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    return b;
  };
  previous_ = button("findPrevious", QStringLiteral("▲"), tr("Предыдущее (Shift+Enter)"));
  next_ = button("findNext", QStringLiteral("▼"), tr("Следующее (Enter)"));
  close_ = button("findClose", QStringLiteral("✕"), tr("Закрыть (Esc)"));
  layout->addWidget(mode_);
  layout->addWidget(text_, 1);
  layout->addWidget(count_);
  layout->addWidget(previous_);
  layout->addWidget(next_);
  layout->addWidget(close_);
  connect(text_, &QLineEdit::textChanged, this, &CFindBar::Search);
  connect(mode_, &QComboBox::currentIndexChanged, this, &CFindBar::Search);
  connect(previous_, &QToolButton::clicked, this, &CFindBar::GoPrevious);
  connect(next_, &QToolButton::clicked, this, &CFindBar::GoNext);
  connect(close_, &QToolButton::clicked, this, &CFindBar::Close);
  hide();
}

void CFindBar::Open() {
  OpenIn(0);
}

void CFindBar::OpenIn(uint32_t scopeId) {
  scopeId_ = scopeId;
  text_->setPlaceholderText(scopeId ? tr("Найти в ветви") : tr("Найти"));
  show();
  text_->setFocus(Qt::ShortcutFocusReason);
  text_->selectAll();
}

void CFindBar::Close() {
  hide();
  frame_->GetTreeView()->setFocus(Qt::OtherFocusReason);
}

bool CFindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == text_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (key->modifiers() & Qt::ShiftModifier)
        GoPrevious();
      else
        GoNext();
      return true;
    }
    if (key->key() == Qt::Key_Escape) {
      Close();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CFindBar::Search() {
  std::string text;
  unencodable_ = !ToCp1251(text_->text(), &text);
  // Text the code page cannot hold is in no name.
  matches_ = unencodable_ ? std::vector<uint32_t>() : Matches(text);
  current_ = -1;
  if (!matches_.empty())
    GoTo(0);
  else
    ShowCount();
}

std::vector<uint32_t> CFindBar::Matches(const std::string& text) const {
  const CTarnelDoc& doc = frame_->document();
  std::vector<uint32_t> found = FindRecords(doc, text, FindMode(mode_->currentData().toInt()));
  const CRecord* scope = scopeId_ ? doc.LookupRecord(scopeId_) : nullptr;
  if (!scope) return found;
  std::erase_if(found, [&](uint32_t id) { return !IsInBranch(doc.LookupRecord(id), scope); });
  return found;
}

void CFindBar::GoNext() {
  Step(1);
}

void CFindBar::GoPrevious() {
  Step(-1);
}

void CFindBar::Step(int delta) {
  uint32_t currentId = current_ >= 0 ? matches_[size_t(current_)] : 0;
  int oldIndex = current_;
  std::string text;
  matches_.clear();
  if (ToCp1251(text_->text(), &text)) matches_ = Matches(text);
  if (matches_.empty()) {
    current_ = -1;
    ShowCount();
    return;
  }
  int n = int(matches_.size());
  auto it = std::find(matches_.begin(), matches_.end(), currentId);
  int from = it != matches_.end() ? int(it - matches_.begin())
             : oldIndex >= 0      ? std::min(oldIndex, n) - (delta > 0 ? 1 : 0)
                                  : (delta > 0 ? -1 : 0);
  GoTo(((from + delta) % n + n) % n);
}

void CFindBar::GoTo(int index) {
  current_ = index;
  ShowCount();
  frame_->RevealRecord(matches_[size_t(index)]);
}

QString CFindBar::countText() const {
  if (text_->text().isEmpty()) return QString();
  if (matches_.empty()) return tr("0 из 0");
  return tr("%1 из %2").arg(current_ + 1).arg(matches_.size());
}

void CFindBar::ShowCount() {
  count_->setText(countText());
  previous_->setEnabled(!matches_.empty());
  next_->setEnabled(!matches_.empty());
}
