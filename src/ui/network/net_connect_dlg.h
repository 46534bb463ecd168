// "Connect to....": asks for the server's IPv4 address and port and the mode ("Только
// наблюдение" or "Запись", remembered per server) and connects the client. A failed attempt
// keeps the dialog open and says why in one line.
#pragma once

#include <QDialog>
#include <string>

#include "net/write_gate.h"

class CNetClient;
class QRadioButton;
class QLabel;
class QLineEdit;
class QPushButton;

class CNetConnectToDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CNetConnectToDlg(CNetClient& client, QWidget* parent = nullptr);

  QString Address() const;
  int Port() const;
  WriteMode Mode() const;
  void SetMode(WriteMode mode);
  // The gate takes the mode chosen before the connection is opened, so that nothing can go
  // out in the wrong mode in between.
  void SetGate(CWriteGate* gate) { gate_ = gate; }

  // The mode last chosen for a server; write mode for one never connected to.
  static WriteMode RememberedMode(const std::string& address, int port);
  static void RememberMode(const std::string& address, int port, WriteMode mode);

 protected:
  void accept() override;

 private:
  CNetClient& client_;
  QLineEdit* fields_[4];
  QLineEdit* port_;
  QRadioButton* monitorOnly_;
  QRadioButton* write_;
  CWriteGate* gate_ = nullptr;
  QLabel* error_;
  QPushButton* ok_;

  void ShowRememberedMode();
};
