// The about box: the page's elements filled, the version from the build, OK closes it.
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include "ui/app/ui_resources.h"
#include "ui/dialogs/html_about.h"

class AboutTest : public QObject {
  Q_OBJECT
 private slots:
  void showsTheBuildVersionAndClosesWithOk() {
    InitUiResources();
    QVERIFY(!CHTMLAbout::ProductVersion().isEmpty());
    CHTMLAbout about;
    auto* page = about.findChild<QTextBrowser*>(QStringLiteral("aboutPage"));
    QVERIFY(page);
    QString text = page->toPlainText();
    QVERIFY2(text.contains(QStringLiteral("Kandrel версия ") + CHTMLAbout::ProductVersion()) &&
                 text.contains(QStringLiteral("Наш адрес в интернете")) &&
                 text.contains(QStringLiteral("тех. поддержка")),
             qPrintable(text));
    // A page without the elements is left alone.
    QCOMPARE(CHTMLAbout::FillPage(QStringLiteral("<p>x</p>"), QString()),
             QStringLiteral("<p>x</p>"));
    about.show();
    about.findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
  }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
