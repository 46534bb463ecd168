// One comparison of the open document with another base, without any widget: the other base
// (a document of its own, or a way to work the differences out again), the options and the
// result. It follows the document's events and works the result out again at most ten times a
// second; it makes the take-over a step of the edit history and says which values a server
// should have.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "model/base_compare.h"
#include "model/document_events.h"
#include "net/write_gate.h"

class CEditCommand;
class CTarnelDoc;
class IProgress;
class QTimer;
struct TakeOverOutcome;

class CCompareSession : public QObject, private IDocumentObserver {
  Q_OBJECT
 public:
  // Works the differences out again for the document as it is now and the options.
  using Recompute = std::function<CompareResult(CTarnelDoc& doc, const CompareOptions& options)>;

  explicit CCompareSession(CTarnelDoc& doc, QObject* parent = nullptr);
  ~CCompareSession() override;

  // Compares the document with `other` (reporting to `progress`) and keeps it. Throws
  // OperationCancelled or std::bad_alloc with the comparison open before left as it was.
  void Open(std::unique_ptr<CTarnelDoc> other, const QString& otherName, bool server,
            const CompareOptions& options, IProgress* progress);
  // Differences worked out without a second base in hand.
  void OpenDifferences(CompareResult result, const QString& otherName, Recompute recompute);
  // The same comparison with a newer copy of the other base (the server's after values went).
  void ReplaceOther(std::unique_ptr<CTarnelDoc> other);
  bool IsOpen() const { return other_ != nullptr || recompute_ != nullptr; }
  void Close();

  // Works the result out again now; false (and the comparison is closed) when memory ran out.
  bool Refresh();
  void SetIgnoreValues(bool ignore);

  const CompareOptions& options() const { return options_; }
  const std::shared_ptr<const CompareResult>& result() const { return result_; }
  const QString& otherName() const { return otherName_; }
  bool otherIsServer() const { return otherIsServer_; }

  // The take-over of the selected differences (one flag per difference) as one command of the
  // edit history; it reports what it did in `outcome`.
  std::unique_ptr<CEditCommand> TakeOverCommand(std::vector<uint8_t> selected,
                                                TakeOverOutcome* outcome) const;
  // The values the server should take from the document (whatever the values switch says),
  // as writes for the gate. Empty unless the other base is the server's.
  std::vector<ValueWrite> ValuesToSend() const;

 signals:
  // A new result (after Open, a refresh or Close) is there to show.
  void resultChanged();
  // Memory ran out while following the document: the comparison closed.
  void refreshFailed();

 private:
  void Show(std::shared_ptr<const CompareResult> result);
  void ScheduleRefresh();
  // IDocumentObserver: every change of the document is followed.
  void RowsInserted(CRecord*, int, int) override { ScheduleRefresh(); }
  void RowsRemoved(CRecord*, int, int) override { ScheduleRefresh(); }
  void RowsMoved(CRecord*, int, int, CRecord*, int) override { ScheduleRefresh(); }
  void RecordChanged(CRecord*) override { ScheduleRefresh(); }
  void ValueChanged(CPropertyItem*, uint32_t) override { ScheduleRefresh(); }
  void Reset() override { ScheduleRefresh(); }

  CTarnelDoc& doc_;
  std::unique_ptr<CTarnelDoc> other_;
  Recompute recompute_;  // in place of other_, for differences worked out without it
  QString otherName_;
  bool otherIsServer_ = false;
  CompareOptions options_;
  std::shared_ptr<const CompareResult> result_;
  QTimer* refreshTimer_ = nullptr;
};
