// Helpers shared by the network tests: hex byte strings and message encoding in one call.
#pragma once

#include <string>

#include "hex_bytes.h"
#include "model/archive.h"
#include "net/net_message.h"

inline std::string Encode(const CNetMessage& m) {
  std::string bytes;
  ArchiveWriter ar(&bytes);
  m.Serialize(ar);
  return bytes;
}
