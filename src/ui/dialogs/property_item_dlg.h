// Fills a new property's name, type, option flags and value text before it joins the document.
#pragma once

#include <QDialog>

class CPropertyItem;
class QComboBox;
class QListWidget;
class QLineEdit;
class QPlainTextEdit;

class CPropertyItemDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CPropertyItemDlg(QWidget* parent = nullptr);
  // -1 without a property; otherwise the dialog result, and on OK the property holds the
  // entered name, value text, type and ticked flags.
  int RunModal(CPropertyItem* property);

 protected:
  void accept() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CPropertyItem* property_ = nullptr;
  QLineEdit* nameEdit_;
  QListWidget* flagList_;
  QComboBox* typeList_;
  QPlainTextEdit* valueEdit_;
};
