// Downloading a server's base into a document, as `fetch` and `diff --server` do it.
#pragma once

#include <string>

class CBaseSession;
class CTarnelDoc;

// The whole download, connect to the last byte of the base, ends within the timeout however
// the server keeps the connection busy; a server that sends nothing at all for the silence
// limit (or the whole timeout, if that is shorter) is given up sooner.
inline constexpr int kDefaultTimeoutSeconds = 60;
inline constexpr int kSilenceSeconds = 10;

// A decimal number in [lo, hi]; a usage error with `usage` otherwise.
int ParseNumber(const std::string& text, int lo, int hi, const std::string& usage);

// Connects, asks for the base and waits until it has arrived in `doc` (replacing what it held).
// The timeout bounds the whole download, the connection included. Exit 3 with one line naming
// the peer when the connection fails, closes, stays silent or the base is not complete in time.
void DownloadBase(CTarnelDoc& doc, const std::string& host, int port, int timeoutSeconds);

// The same over a session of the caller's, which stays connected afterwards (`set` writes on it).
void DownloadBase(CBaseSession& session, const std::string& host, int port, int timeoutSeconds);

// A Qt application for the connection's event loop, made unless there is one.
void EnsureCoreApplication();
