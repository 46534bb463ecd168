#include "value_message.h"

#include "model/document.h"
#include "net/net_message.h"

CPropertyItem* ReadRawValueMessage(CTarnelDoc& doc, const CNetMessage& message, uint32_t* id,
                                   uint32_t* raw) {
  *id = 0;
  message.ReadUIntAt(0, id);
  CPropertyItem* p = AsProperty(doc.LookupRecord(*id));
  if (!p) return nullptr;
  *raw = p->GetRawValue();
  message.ReadUIntAt(1, raw);
  return p;
}
