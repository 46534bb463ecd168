// The about box: the four page elements filled, the version from the build, OK closes it.
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include "ui/app/ui_resources.h"
#include "ui/dialogs/html_about.h"

class AboutTest : public QObject {
  Q_OBJECT
 private slots:
  void fillsTheFourElements() {
    QString page = QStringLiteral(
        "<p><a id=\"Version\" style=\"x\">v 0.0</a></p><a id=\"Copyright\">c</a>"
        "<a id=\"Site\">s</a><a id=\"Email\">e</a><button id=\"ButtonOK\">OK</button>");
    QString filled = CHTMLAbout::FillPage(page, QStringLiteral("1.2.3"));
    QVERIFY(filled.contains(QStringLiteral("<a> Kandrel версия 1.2.3</a>")));
    QVERIFY(filled.contains(QStringLiteral("Наш адрес в интернете <a href=\"\">")));
    QVERIFY(filled.contains(QStringLiteral("тех. поддержка : ")));
    QVERIFY(!filled.contains(QStringLiteral("v 0.0")));
    QVERIFY(filled.contains(QStringLiteral("ButtonOK")));
    // A page without the elements is left alone; an empty version gives an empty %s.
    QCOMPARE(CHTMLAbout::FillPage(QStringLiteral("<p>x</p>"), QString()),
             QStringLiteral("<p>x</p>"));
    QVERIFY(
        CHTMLAbout::FillPage(page, QString()).contains(QStringLiteral("<a> Kandrel версия </a>")));
  }

  void showsTheBuildVersionAndClosesWithOk() {
    InitUiResources();
    QVERIFY(!CHTMLAbout::ProductVersion().isEmpty());
    CHTMLAbout about;
    QCOMPARE(about.windowTitle(), QStringLiteral("О программе ..."));
    auto* page = about.findChild<QTextBrowser*>(QStringLiteral("aboutPage"));
    QVERIFY(page);
    QVERIFY(page->toPlainText().contains(QStringLiteral("Kandrel версия ") +
                                         CHTMLAbout::ProductVersion()));
    about.show();
    about.findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
  }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
