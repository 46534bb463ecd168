#include "net/base_session.h"

#include "model/document.h"
#include "net/monitor/value_resync.h"
#include "net/net_message.h"
#include "net/value_message.h"
#include "net/write_gate.h"

#include <utility>

using namespace net;

CBaseSession::CBaseSession(CTarnelDoc& doc, QObject* parent)
    : CNetClient(parent), doc_(doc), gate_(new CWriteGate(*this)) {
  doc_.events().AddObserver(this);
}

CBaseSession::~CBaseSession() {
  doc_.events().RemoveObserver(this);
}

void CBaseSession::ValueChanged(CPropertyItem* property, uint32_t previous) {
  if (!reportsValues_) return;
  if (receiving_)
    gate_->Echo(property->id, property->GetRawValue());
  else
    gate_->Collect(*property, previous);
}

bool CBaseSession::RequestBase() {
  CNetMessage request(kMsgBase);
  request.AppendFloat(0.0f);
  if (!Send(request)) return false;
  pendingBases_.push_back(BaseUse::kReplace);
  return true;
}

bool CBaseSession::RequestValueResync() {
  if (!RequestBase()) return false;
  pendingBases_.back() = BaseUse::kResync;
  return true;
}

bool CBaseSession::RequestBaseCopy() {
  if (!RequestBase()) return false;
  pendingBases_.back() = BaseUse::kCopy;
  return true;
}

bool CBaseSession::DropRequestedBase() {
  for (auto it = pendingBases_.rbegin(); it != pendingBases_.rend(); ++it)
    if (*it == BaseUse::kReplace || *it == BaseUse::kCopy) {
      *it = BaseUse::kDrop;
      return true;
    }
  return false;
}

std::unique_ptr<CTarnelDoc> CBaseSession::TakeBaseCopy() {
  return std::move(baseCopy_);
}

bool CBaseSession::SendRawValue(uint32_t id, uint32_t rawValue) {
  CNetMessage m(kMsgRawValue);
  m.AppendUInt(id);
  m.AppendUInt(rawValue);
  return Send(m);
}

void CBaseSession::OnMessageReceived(CNetMessage& message) {
  switch (message.GetId()) {
    case kMsgBase:
      TakeBase(message);
      break;
    case kMsgValueText:
      TakeValueText(message);
      break;
    case kMsgRawValue:
      TakeRawValue(message);
      break;
    default:
      break;
  }
}

void CBaseSession::TakeBase(CNetMessage& message) {
  if (pendingBases_.empty()) {
    // The newest one is kept; an older one nobody has answered about yet goes.
    unaskedBase_ = TakeGroups(message);
    hasUnaskedBase_ = true;
    emit unaskedBaseArrived();
    return;
  }
  BaseUse use = pendingBases_.front();
  pendingBases_.pop_front();
  if (use == BaseUse::kResync) {
    ResyncFrom(message);
    return;
  }
  if (use == BaseUse::kDrop) {
    // Its records go with the message; the numbering starts afresh as after any base.
    ReopenStreams();
    return;
  }
  if (use == BaseUse::kCopy) {
    baseCopy_ = ReadBase(message);
    emit baseCopyArrived();
    return;
  }
  emit aboutToReplaceBase();
  doc_.ReplaceGroups(TakeGroups(message));
  gate_->BaseReplaced();
  emit baseReplaced();
}

void CBaseSession::ReplaceWithUnaskedBase() {
  if (!hasUnaskedBase_) return;
  hasUnaskedBase_ = false;
  emit aboutToReplaceBase();
  doc_.ReplaceGroups(std::exchange(unaskedBase_, {}));
  gate_->BaseReplaced();
  emit baseReplaced();
}

std::unique_ptr<CTarnelDoc> CBaseSession::TakeUnaskedBase() {
  if (!hasUnaskedBase_) return nullptr;
  hasUnaskedBase_ = false;
  auto base = std::make_unique<CTarnelDoc>();
  base->ReplaceGroups(std::exchange(unaskedBase_, {}));
  return base;
}

void CBaseSession::DropUnaskedBase() {
  hasUnaskedBase_ = false;
  unaskedBase_.clear();
}

std::vector<std::unique_ptr<CBase>> CBaseSession::TakeGroups(CNetMessage& message) {
  std::vector<std::unique_ptr<CBase>> groups;
  for (int i = 0; i < message.GetElementCount(); ++i)
    if (std::unique_ptr<CBase> group = message.TakeGroupAt(i)) groups.push_back(std::move(group));
  ReopenStreams();
  return groups;
}

std::unique_ptr<CTarnelDoc> CBaseSession::ReadBase(CNetMessage& message) {
  auto fresh = std::make_unique<CTarnelDoc>();
  fresh->ReplaceGroups(TakeGroups(message));
  return fresh;
}

void CBaseSession::ResyncFrom(CNetMessage& message) {
  std::unique_ptr<CTarnelDoc> fresh = ReadBase(message);
  std::vector<uint32_t> changed;
  ValueResyncResult r =
      ResyncValues(doc_, *fresh, [&changed](const CPropertyItem& p) { changed.push_back(p.id); });
  for (uint32_t id : changed) {
    emit valueResynced(id);
    emit rawValueReceived(id);
  }
  emit valuesResynced(r.changed, r.unmatched);
}

void CBaseSession::TakeValueText(const CNetMessage& message) {
  uint32_t id = 0;
  uint8_t unused = 0;
  std::string text;
  message.ReadUIntAt(0, &id);
  message.ReadByteAt(1, &unused);
  message.ReadTextAt(2, &text);
  CPropertyItem* p = AsProperty(doc_.LookupRecord(id));
  if (!p) return;
  gate_->ServerText(id, text);
  {
    RecordChange change(doc_.events(), p);
    p->SetValueText(std::move(text));
  }
  emit valueTextReceived(id);
}

void CBaseSession::TakeRawValue(const CNetMessage& message) {
  uint32_t id = 0, raw = 0;
  CPropertyItem* p = ReadRawValueMessage(doc_, message, &id, &raw);
  if (!p) return;
  gate_->ServerValue(id, raw);
  // A new pattern is reported back once, as every change of a value is; an equal one is not.
  receiving_ = true;
  p->SetRawValue(raw);
  receiving_ = false;
  RecordChange change(doc_.events(), p);
  p->UpdateTextFromRaw(p->GetValueText());
  emit rawValueReceived(id);
}

void CBaseSession::OnConnectionClosed(int reason) {
  pendingBases_.clear();  // a new connection starts asking afresh
  gate_->ConnectionClosed();
  emit disconnected(reason);
}

void CBaseSession::OnRoundTrip(uint32_t elapsedMs) {
  emit roundTrip(elapsedMs);
}
