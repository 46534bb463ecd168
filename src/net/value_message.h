// Reading a raw-value message (203) against a document; the client and the simulator both take
// values this way.
#pragma once

#include <cstdint>

class CNetMessage;
class CPropertyItem;
class CTarnelDoc;

// The property the message names, with the identifier as the message gives it in `id` and
// the pattern it carries in `raw` (the property's own pattern when the message carries none);
// null when the message names no property.
CPropertyItem* ReadRawValueMessage(CTarnelDoc& doc, const CNetMessage& message, uint32_t* id,
                                   uint32_t* raw);
