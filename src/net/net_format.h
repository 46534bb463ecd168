// Constants of the message stream spoken with the server: message identifiers, element codes,
// disconnect reasons and the bounds that keep a broken or hostile peer from exhausting us.
#pragma once

#include <cstddef>
#include <cstdint>

namespace net {

// Application messages.
inline constexpr int32_t kMsgBase = 3;        // editor: request; server: the group list
inline constexpr int32_t kMsgValueText = 4;   // server sets a property's value text
inline constexpr int32_t kMsgRawValue = 203;  // a property's 32-bit pattern, both ways

// Control messages, answered by the connection itself.
inline constexpr int32_t kCtlServerClose = -1;     // the server closes the connection
inline constexpr int32_t kCtlProbe = -2;           // round-trip probe with the server's tick
inline constexpr int32_t kCtlEcho = -3;            // to be sent back unchanged
inline constexpr int32_t kCtlClientLeaves = -4;    // the client closes the connection
inline constexpr int32_t kCtlServerShutdown = -5;  // the server goes down

// Element codes; only the low byte travels.
enum ElementCode : int32_t {
  kCodeByte = 1,
  kCodeUInt = 6,
  kCodeCounter = 7,
  kCodeFloat = 8,
  kCodeText = 10,
  kCodeBuffer = 11,
  kCodeGroup = 12,
  kCodeObject = 13,
  kCodeAtom = 14,
  kCodeProperty = 15,
};
// Bytes of a scalar element's value, on the wire and in memory.
inline constexpr size_t kValueSize = 8;

// Why a connection ended, as its owner is told.
enum DisconnectReason : int {
  kReasonDisconnect = 0,      // Disconnect was called (also at the start of every Connect)
  kReasonServerShutdown = 1,  // control message -5
  kReasonServerClose = 2,     // control message -1
  kReasonSendFailed = 3,      // an outgoing message could not be written
  kReasonReceiveFailed = 4,   // a receive error, a damaged message, or the peer went away
};

// Bounds. A message may not be longer than this; nothing longer is ever buffered for it.
inline constexpr size_t kMaxMessageSize = size_t(64) << 20;
// A base holds at most one group per identifier; no legitimate message has more elements.
inline constexpr int32_t kMaxElementCount = 0x10000;
// Classes and objects numbered in one direction between two base messages.
inline constexpr size_t kMaxArchiveEntries = size_t(4) << 20;
// Bytes queued for a peer that does not read; past this the connection is given up.
inline constexpr size_t kMaxPendingOutput = size_t(64) << 20;

}  // namespace net
