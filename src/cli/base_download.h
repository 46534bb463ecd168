// Downloading a server's base into a document, as `fetch` and `diff --server` do it.
#pragma once

#include <string>

class CTarnelDoc;

inline constexpr int kDefaultTimeoutSeconds = 10;

// A decimal number in [lo, hi]; a usage error with `usage` otherwise.
int ParseNumber(const std::string& text, int lo, int hi, const std::string& usage);

// Connects, asks for the base and waits until it has arrived in `doc` (replacing what it held).
// The timeout counts for the connection and from the last bytes that came in. Exit 3 with one
// line naming the peer when the connection fails, closes or stays silent.
void DownloadBase(CTarnelDoc& doc, const std::string& host, int port, int timeoutSeconds);
