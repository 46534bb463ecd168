// Turns the value-changed notification of properties into a queued call on the UI thread, so
// that message 203 leaves only after the operation that changed the value has returned.
#pragma once

#include <cstdint>

class CBaseSession;

// Makes the process-wide relay the value-changed sink of the calling (UI) thread. Properties
// capture the sink when they are made, so call this before any document is filled. The relay
// lives as long as the process, so no property can outlive it.
void InstallValueChangedRelay();

// The session that receives the notifications from now on; null for none. A session sets
// itself when it is made and clears itself when it goes.
void SetValueChangedTarget(CBaseSession* session);
CBaseSession* GetValueChangedTarget();
