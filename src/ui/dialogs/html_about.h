// The about box: an HTML page in a dialog whose four named elements are filled by the program,
// the version among them taken from the build.
#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

class CHTMLAbout : public QDialog {
  Q_OBJECT
 public:
  explicit CHTMLAbout(QWidget* parent = nullptr);

  // The page with the elements "Version", "Copyright", "Site" and "Email" replaced; an element
  // the page lacks is skipped.
  static QString FillPage(const QString& page, const QString& productVersion);
  // The version this program was built as.
  static QString ProductVersion();

 private:
  QTextBrowser* browser_;
};
