#include "net/value_changed_relay.h"

#include <QMetaObject>
#include <QPointer>

#include "model/records.h"
#include "net/base_session.h"

namespace {

class ValueChangedRelay final : public IValueChangedSink {
 public:
  void PostValueChanged(uint32_t id, uint32_t rawValue) override {
    CBaseSession* session = target.data();
    if (!session) return;
    // Queued with the session as context: dropped if the session is gone by then.
    QMetaObject::invokeMethod(
        session, [session, id, rawValue] { session->SendRawValue(id, rawValue); },
        Qt::QueuedConnection);
  }

  QPointer<CBaseSession> target;
};

ValueChangedRelay& Relay() {
  // Never destroyed: properties that live until the very end may still hold it.
  static auto* relay = new ValueChangedRelay;
  return *relay;
}

}  // namespace

void InstallValueChangedRelay() {
  SetThreadValueChangedSink(&Relay());
}

void SetValueChangedTarget(CBaseSession* session) {
  Relay().target = session;
}

CBaseSession* GetValueChangedTarget() {
  return Relay().target.data();
}
