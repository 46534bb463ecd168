// The editor's side of a server connection: asks for the base, replaces the document's groups
// with the server's, and keeps single property values in step both ways (messages 3, 4 and
// 203). It knows no widgets; the main window owns it and follows its signals.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "model/document_events.h"
#include "net/net_client.h"

class CBase;
class CTarnelDoc;
class CWriteGate;

class CBaseSession : public CNetClient, private IDocumentObserver {
  Q_OBJECT

 public:
  // Listens to the document: every change of a property's pattern in `doc` goes to the write
  // gate while connected, which sends it as message 203 once the operation that changed it has
  // returned (or holds it, by its mode and preview). The document must outlive the session.
  explicit CBaseSession(CTarnelDoc& doc, QObject* parent = nullptr);
  ~CBaseSession() override;

  CTarnelDoc& Document() const { return doc_; }
  // Through which every message 203 leaves.
  CWriteGate& Gate() const { return *gate_; }

  // Whether changes of the document's values reach the gate at all (the default). A session
  // that only watches the server turns it off.
  void SetReportsValues(bool on) { reportsValues_ = on; }

  // Message 3 with the float 0.0. False when not connected.
  bool RequestBase();
  // Asks for the base again, but the answer does not replace the document: it is read into a
  // document of its own, the values of the properties present on both sides are taken over
  // silently (ResyncValues: no structure change, no message 203, no edit), each changed one
  // is reported with rawValueReceived, and valuesResynced tells how many changed. For
  // bringing the open document back in step after a reconnect. False when not connected.
  bool RequestValueResync();
  // Asks for the base into a document of its own, leaving the open one as it is: the editor
  // compares with it. baseCopyArrived tells when TakeBaseCopy has it. False when not connected.
  bool RequestBaseCopy();
  // The base a RequestBaseCopy brought (null before it came); the caller owns it from now on.
  std::unique_ptr<CTarnelDoc> TakeBaseCopy();
  // The base last asked for with RequestBase (or RequestBaseCopy) is no longer wanted: when it
  // comes, it is read and dropped, and the document stays as it is. False when no such request
  // is waiting.
  bool DropRequestedBase();
  // A base no request of this client asked for (a server may send one after its own
  // reconfiguration) never replaces the document by itself: it is kept aside, the newest one
  // only, and unaskedBaseArrived tells. The editor asks the user, then replaces the document
  // with it, takes it to compare, or drops it.
  bool HasUnaskedBase() const { return hasUnaskedBase_; }
  void ReplaceWithUnaskedBase();
  std::unique_ptr<CTarnelDoc> TakeUnaskedBase();
  void DropUnaskedBase();
  // Message 203 for a property, as it is: only the gate calls it. False when not connected.
  bool SendRawValue(uint32_t id, uint32_t rawValue);

 signals:
  // A base arrived: the old records are about to be destroyed. Drop every pointer to them.
  void aboutToReplaceBase();
  // The document now holds the server's groups and the tree has been rebuilt.
  void baseReplaced();
  // Message 4 set a property's value text: the form refreshes what it shows.
  void valueTextReceived(quint32 id);
  // Message 203 reached a property (or a value resync changed it): the form redraws it if it
  // shows it.
  void rawValueReceived(quint32 id);
  // A value resync took the server's value over, silently for the document's observers: what
  // shows values shows this one anew.
  void valueResynced(quint32 id);
  // The answer to RequestValueResync has been taken over; `unmatched` properties of the
  // document are not in the server's base (or not at the same place, or of another type).
  void valuesResynced(int changed, int unmatched);
  // A base nobody asked for has been kept aside (see HasUnaskedBase).
  void unaskedBaseArrived();
  // The answer to RequestBaseCopy is ready for TakeBaseCopy.
  void baseCopyArrived();
  // The connection ended; reasons in net::DisconnectReason, LastError() says more.
  void disconnected(int reason);
  void roundTrip(quint32 elapsedMs);

 protected:
  void OnMessageReceived(CNetMessage& message) override;
  void OnConnectionClosed(int reason) override;
  void OnRoundTrip(uint32_t elapsedMs) override;

 private:
  void TakeBase(CNetMessage& message);
  void ResyncFrom(CNetMessage& message);
  // The groups of a base message as a document of their own.
  std::unique_ptr<CTarnelDoc> ReadBase(CNetMessage& message);
  // The group elements of a base message (others, and their records, go with the message).
  std::vector<std::unique_ptr<CBase>> TakeGroups(CNetMessage& message);
  void TakeValueText(const CNetMessage& message);
  void TakeRawValue(const CNetMessage& message);
  void ValueChanged(CPropertyItem* property, uint32_t previous) override;

  CTarnelDoc& doc_;
  // What each base asked for on this connection will be used for, in the order asked.
  enum class BaseUse : uint8_t { kReplace, kResync, kCopy, kDrop };
  std::deque<BaseUse> pendingBases_;
  std::unique_ptr<CTarnelDoc> baseCopy_;
  std::vector<std::unique_ptr<CBase>> unaskedBase_;  // its groups
  bool hasUnaskedBase_ = false;
  bool reportsValues_ = true;
  bool receiving_ = false;  // the document takes a value the server sent
  CWriteGate* gate_;        // a child of this session
};
