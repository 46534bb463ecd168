// "Connect to....": asks for the server's IPv4 address and port and connects the client. A
// failed attempt keeps the dialog open and says why in one line.
#pragma once

#include <QDialog>

class CNetClient;
class QLabel;
class QLineEdit;
class QPushButton;

class CNetConnectToDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CNetConnectToDlg(CNetClient& client, QWidget* parent = nullptr);

  QString Address() const;

 protected:
  void accept() override;

 private:
  CNetClient& client_;
  QLineEdit* fields_[4];
  QLineEdit* port_;
  QLabel* error_;
  QPushButton* ok_;
};
