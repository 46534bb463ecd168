// The editor's side of a server connection: asks for the base, replaces the document's groups
// with the server's, and keeps single property values in step both ways (messages 3, 4 and
// 203). It knows no widgets; the main window owns it and follows its signals.
#pragma once

#include <cstdint>

#include "net/net_client.h"

class CTarnelDoc;

class CBaseSession : public CNetClient {
  Q_OBJECT

 public:
  // Installs the value-changed relay on this thread and becomes its target, so every change
  // of a property's pattern in `doc` goes out as message 203 while connected.
  explicit CBaseSession(CTarnelDoc& doc, QObject* parent = nullptr);
  ~CBaseSession() override;

  CTarnelDoc& Document() const { return doc_; }

  // Message 3 with the float 0.0. False when not connected.
  bool RequestBase();
  // Message 203 for a property. False when not connected.
  bool SendRawValue(uint32_t id, uint32_t rawValue);

 signals:
  // A base arrived: the old records are about to be destroyed. Drop every pointer to them.
  void aboutToReplaceBase();
  // The document now holds the server's groups and the tree has been rebuilt.
  void baseReplaced();
  // Message 4 set a property's value text: the form refreshes what it shows.
  void valueTextReceived(quint32 id);
  // Message 203 reached a property: the form redraws it if it shows it.
  void rawValueReceived(quint32 id);
  // The connection ended; reasons in net::DisconnectReason, LastError() says more.
  void disconnected(int reason);
  void roundTrip(quint32 elapsedMs);

 protected:
  void OnMessageReceived(CNetMessage& message) override;
  void OnConnectionClosed(int reason) override;
  void OnRoundTrip(uint32_t elapsedMs) override;

 private:
  void TakeBase(CNetMessage& message);
  void TakeValueText(const CNetMessage& message);
  void TakeRawValue(const CNetMessage& message);

  CTarnelDoc& doc_;
};
