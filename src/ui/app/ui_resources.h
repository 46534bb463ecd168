// The editor's compiled-in artwork and pages live in a static library, so they have to be
// registered before first use.
#pragma once

void InitUiResources();
