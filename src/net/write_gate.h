// The one way message 203 leaves the client. Every value the document changes, and every value
// a command sends on its own, passes here: the gate knows whether the connection may write at
// all (monitor-only or write), gathers the values one user action changes into a batch, lets
// the user see a batch before it goes (a preview the editor supplies), follows each value sent
// until the server reports it back, and journals every value sent with its outcome. It knows
// no widgets; the editor, kandrel-cli and the Python module share it.
#pragma once

#include <QList>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CBaseSession;
class CPropertyItem;
class CWriteJournal;
struct JournalEntry;

// Which action a value comes from; named in the journal.
enum class WriteOrigin : uint8_t {
  kApply,
  kBulk,
  kPaste,
  kTakeover,
  kSend,
  kUndo,
  kRedo,
  kSave,
  kWatch,
  kCli,
};
// "apply", "bulk", ...
const char* WriteOriginName(WriteOrigin origin);

enum class WriteMode : uint8_t {
  kWrite,        // values go to the server (after a preview where one is due)
  kMonitorOnly,  // nothing is sent; changed values stay in the document, marked not sent
};

// Where a property's last change stands with the server.
enum class WriteState : uint8_t {
  kNone,         // nothing of ours is under way
  kNotSent,      // changed in the document, not sent (monitor-only, or the preview cancelled)
  kSent,         // sent, the server has not reported it back yet
  kConfirmed,    // the server reported the value sent
  kUnconfirmed,  // the connection ended first, or the server reported another value
};

// One value of a batch.
struct ValueWrite {
  uint32_t id = 0;   // the property's identifier on the server
  std::string path;  // windows-1251
  uint8_t typeCode = 0;
  std::string oldText;  // what the server has, as last heard; windows-1251
  std::string newText;  // windows-1251
  uint32_t oldRaw = 0;
  uint32_t newRaw = 0;
  WriteOrigin origin = WriteOrigin::kApply;
};

class CWriteGate : public QObject {
  Q_OBJECT

 public:
  // Shows the batch and answers whether it may go ("Записать") or not ("Отмена").
  using Preview = std::function<bool(const std::vector<ValueWrite>&)>;

  explicit CWriteGate(CBaseSession& session);
  ~CWriteGate() override;

  WriteMode Mode() const { return mode_; }
  // Switching to write sends nothing by itself: NotSent() lists what waits, SendNotSent sends it.
  void SetMode(WriteMode mode);
  // With a preview, a batch of more than one value is shown before it goes; with `each` set,
  // every batch is. Without one (kandrel-cli, which names its one value) batches go at once.
  void SetPreview(Preview preview) { preview_ = std::move(preview); }
  void SetConfirmEach(bool each) { confirmEach_ = each; }
  bool ConfirmEach() const { return confirmEach_; }
  // Journals every value sent (the default) in JournalPathFor(address, port).
  void SetJournaling(bool on) { journaling_ = on; }
  // Why the journal could not be written, the last time it could not; empty when it could.
  const std::string& JournalError() const { return journalError_; }

  // While one lives, values the document changes come from this action. Values changed with
  // none come from "Применить".
  class Action {
   public:
    Action(CWriteGate* gate, WriteOrigin origin);
    ~Action();
    Action(const Action&) = delete;
    Action& operator=(const Action&) = delete;

   private:
    CWriteGate* gate_;
    WriteOrigin previous_;
  };

  // A property of the session's document changed its pattern: gathered with the other values
  // of the same action, the batch is dispatched once the action has returned.
  void Collect(const CPropertyItem& property, uint32_t previousRaw);
  // The batch gathered so far is dispatched now instead of after the action.
  void Flush();
  // Values a command sends on its own (the server's identifiers), as one batch: the mode and
  // the preview decide as for any batch. How many went.
  int Submit(std::vector<ValueWrite> batch);

  WriteState StateOf(uint32_t id) const;
  // The values changed and not sent, in the order they were changed; their new values are the
  // document's now.
  std::vector<ValueWrite> NotSent() const;
  // Sends NotSent() without a further preview (the user has just seen the list). How many went.
  int SendNotSent();
  // The writes that the last lost connection left unconfirmed; taken once.
  std::vector<ValueWrite> TakeLost();

  // The session tells what the server reports and how the connection goes. Echo: the
  // document took a value the server told, and the server is told it back (write mode only).
  void Echo(uint32_t id, uint32_t raw);
  void ServerValue(uint32_t id, uint32_t raw);
  void ServerText(uint32_t id, const std::string& text);
  void BaseReplaced();
  void ConnectionClosed();

 signals:
  // The states of these properties changed.
  void statesChanged(const QList<quint32>& ids);
  // A batch was not sent: the mode is monitor-only, or its preview was cancelled.
  void batchHeld(int count);
  // Values went; `journalFailed` when the journal could not be written.
  void batchSent(int count, bool journalFailed);

 private:
  struct Tracked {
    WriteState state = WriteState::kNone;
    ValueWrite write;  // the last value sent or held
    uint64_t order = 0;
  };
  bool Connected() const;
  std::string ServerName() const;
  int Dispatch(std::vector<ValueWrite> batch);
  int Send(const std::vector<ValueWrite>& batch);
  void Hold(const std::vector<ValueWrite>& batch);
  void Resolve(Tracked& t, bool confirmed);
  JournalEntry EntryOf(const ValueWrite& w, const char* result, const std::string& time,
                       const std::string& server) const;
  bool Journal(const ValueWrite& w, const char* result);
  // The lines of values sent together, in one write and with one time.
  bool JournalAll(const std::vector<ValueWrite>& writes, const char* result);
  CWriteJournal& OpenJournal();

  CBaseSession& session_;
  WriteMode mode_ = WriteMode::kWrite;
  Preview preview_;
  bool confirmEach_ = false;
  bool journaling_ = true;
  std::string journalError_;
  std::unique_ptr<CWriteJournal> journal_;
  WriteOrigin origin_ = WriteOrigin::kApply;
  std::vector<ValueWrite> batch_;
  std::unordered_set<uint32_t> batchIds_;  // the properties batch_ holds
  bool flushQueued_ = false;
  bool dispatching_ = false;
  uint64_t order_ = 0;
  std::unordered_map<uint32_t, Tracked> tracked_;
  // The server's value of each property, as last heard since the base came.
  std::unordered_map<uint32_t, uint32_t> heard_;
  std::vector<ValueWrite> lost_;
};
