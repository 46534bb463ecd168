#include "ui/compare/compare_session.h"

#include <QCoreApplication>
#include <QTimer>
#include <new>
#include <utility>

#include "model/base_takeover.h"
#include "model/document.h"
#include "model/edit_history.h"

namespace {

// Takes differences over as one step of the edit history; the history's pictures make it
// undoable like any other change.
class TakeOverStep : public CEditCommand {
 public:
  TakeOverStep(std::shared_ptr<const CompareResult> result, std::vector<uint8_t> selected,
               TakeOverOutcome* outcome)
      : result_(std::move(result)), selected_(std::move(selected)), outcome_(outcome) {}
  bool Execute(EditContext& ctx) override {
    if (!result_ || !TakeOver(ctx.doc, *result_, selected_, outcome_)) {
      ctx.error = QCoreApplication::translate(
                      "CCompareOwner",
                      "Документ изменился после сравнения; сравнение обновлено, повторите перенос.")
                      .toStdString();
      return false;
    }
    return outcome_->removed + outcome_->added + outcome_->changed + outcome_->moved > 0;
  }

 private:
  std::shared_ptr<const CompareResult> result_;
  std::vector<uint8_t> selected_;
  TakeOverOutcome* outcome_;
};

}  // namespace

CCompareSession::CCompareSession(CTarnelDoc& doc, QObject* parent) : QObject(parent), doc_(doc) {
  refreshTimer_ = new QTimer(this);
  refreshTimer_->setSingleShot(true);
  // At most ten refreshes a second, however fast the document changes (live values too).
  refreshTimer_->setInterval(100);
  connect(refreshTimer_, &QTimer::timeout, this, [this] { Refresh(); });
  doc_.events().AddObserver(this);
}

CCompareSession::~CCompareSession() {
  doc_.events().RemoveObserver(this);
}

void CCompareSession::Open(std::unique_ptr<CTarnelDoc> other, const QString& otherName, bool server,
                           const CompareOptions& options, IProgress* progress) {
  // Worked out before anything changes here, so a comparison that is stopped leaves the one
  // open before as it was.
  auto result =
      std::make_shared<const CompareResult>(CompareDocuments(doc_, *other, options, progress));
  other_ = std::move(other);
  recompute_ = nullptr;
  otherName_ = otherName;
  otherIsServer_ = server;
  options_ = options;
  Show(std::move(result));
}

void CCompareSession::OpenDifferences(CompareResult result, const QString& otherName,
                                      Recompute recompute) {
  other_.reset();
  recompute_ = std::move(recompute);
  otherName_ = otherName;
  otherIsServer_ = false;
  options_ = result.options;
  Show(std::make_shared<const CompareResult>(std::move(result)));
}

void CCompareSession::ReplaceOther(std::unique_ptr<CTarnelDoc> other) {
  other_ = std::move(other);
  Refresh();
}

void CCompareSession::Close() {
  refreshTimer_->stop();
  other_.reset();
  recompute_ = nullptr;
  result_.reset();
  emit resultChanged();
}

void CCompareSession::SetIgnoreValues(bool ignore) {
  options_.ignoreValues = ignore;
  Refresh();
}

bool CCompareSession::Refresh() {
  refreshTimer_->stop();
  if (!IsOpen()) return true;
  std::shared_ptr<const CompareResult> result;
  try {
    result = std::make_shared<const CompareResult>(
        recompute_ ? recompute_(doc_, options_) : CompareDocuments(doc_, *other_, options_));
  } catch (const std::bad_alloc&) {
    // The comparison cannot follow the document any more; the document goes on as it is.
    Close();
    emit refreshFailed();
    return false;
  }
  Show(std::move(result));
  return true;
}

void CCompareSession::Show(std::shared_ptr<const CompareResult> result) {
  refreshTimer_->stop();
  result_ = std::move(result);
  emit resultChanged();
}

void CCompareSession::ScheduleRefresh() {
  if (IsOpen() && !refreshTimer_->isActive()) refreshTimer_->start();
}

std::unique_ptr<CEditCommand> CCompareSession::TakeOverCommand(std::vector<uint8_t> selected,
                                                               TakeOverOutcome* outcome) const {
  return std::make_unique<TakeOverStep>(result_, std::move(selected), outcome);
}

std::vector<ValueWrite> CCompareSession::ValuesToSend() const {
  std::vector<ValueWrite> batch;
  if (!other_ || !otherIsServer_) return batch;
  // Values count here whatever the switch says.
  CompareOptions withValues = options_;
  withValues.ignoreValues = false;
  CompareResult r = CompareDocuments(doc_, *other_, withValues);
  for (size_t k : r.ValuesToSend()) {
    const Difference& d = r.differences[k];
    const CompareRecord& mine = r.Fields(d, false);
    const CompareRecord& theirs = r.Fields(d, true);
    ValueWrite w;
    w.id = d.secondId;
    w.path = r.PathOf(true, d.second);
    w.typeCode = theirs.typeCode;
    w.oldRaw = theirs.rawValue;
    w.oldText = theirs.valueText;
    w.newRaw = mine.rawValue;
    w.newText = mine.valueText;
    w.origin = WriteOrigin::kSend;
    batch.push_back(std::move(w));
  }
  return batch;
}
