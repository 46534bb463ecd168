// Files from the user's side: save and reopen, a damaged file that leaves the document as it
// was, the question about unsaved changes, a failed or refused save, the recent files, the
// title. The bytes and the refusals themselves are the model tests' (FileIoTest,
// HostileArchiveTest).
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "model/value_types.h"
#include "ui/app/command_ids.h"
#include "ui_fixture.h"

namespace {

// Answers a file dialog with this path.
std::function<int(QDialog&)> ChooseFile(const QString& path) {
  return [path](QDialog& d) {
    static_cast<QFileDialog&>(d).selectFile(path);
    return int(QDialog::Accepted);
  };
}

// Answers "Сохранить изменения?" with this button.
std::function<int(QDialog&)> AnswerSave(const char* button) {
  return [button](QDialog& d) { return Press(d, button); };
}

}  // namespace

class FilesTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Kandrel"));
    QCoreApplication::setApplicationName(QStringLiteral("Kandrel"));
    QSettings().clear();
  }

  void saveAsThenDropOnAWindow() {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("котельная"));
    {
      UiFixture f;
      CObj* o = f.AddObject(f.doc().Groups().At(0), "Шкаф");
      f.AddProperty(f.AddAtom(o, "Датчик"), "Значение", kTypeInt, "17");
      f.Rebuild();
      f.frame().SetModified(true);
      QVERIFY(f.frame().windowTitle().startsWith(QStringLiteral("Kandrel[*]")));
      f.Expect(ChooseFile(path));
      f.Trigger(cmd::kFileSaveAs);
      QVERIFY(f.AllAnswered());
      QVERIFY(!f.frame().isWindowModified());
      QCOMPARE(f.frame().filePath(), path + QStringLiteral(".kdl"));
      QCOMPARE(f.frame().windowTitle(), QStringLiteral("котельная.kdl[*] - Kandrel"));
    }
    // A file dropped on the window is opened.
    UiFixture g;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path + QStringLiteral(".kdl"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&g.frame(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&g.frame(), &drop);
    QTRY_COMPARE(g.frame().filePath(), path + QStringLiteral(".kdl"));
    QCOMPARE(Label(Row(Row(g.ItemOf(0), 0), 0)), QStringLiteral("Шкаф"));
    // The recent-file list remembers it, first.
    QAction* recent = g.frame().action(cmd::kFileMru1);
    QVERIFY(recent->isVisible());
    QCOMPARE(recent->property("path").toString(), path + QStringLiteral(".kdl"));
  }

  void damagedOrMissingFileLeavesTheDocumentAsItWas() {
    QTemporaryDir dir;
    UiFixture f;
    CObj* o = f.AddObject(f.doc().Groups().At(0), "Шкаф");
    f.Rebuild();
    QString bad = dir.filePath(QStringLiteral("bad.kdl"));
    WriteFile(bad, QByteArray("\x03\x00\xFF\xFF\x01\x00", 6));
    for (const QString& path : {bad, dir.filePath(QStringLiteral("missing.kdl"))}) {
      f.messages.clear();
      f.ExpectMessage();
      QVERIFY(!f.frame().OpenDocument(path));
      QCOMPARE(f.messages.size(), 1);
      QVERIFY2(f.messages[0].contains(QFileInfo(path).fileName()), qPrintable(f.messages[0]));
      QCOMPARE(f.doc().LookupRecord(o->id), static_cast<CRecord*>(o));
      QCOMPARE(Label(Row(Row(f.ItemOf(0), 0), 0)), QStringLiteral("Шкаф"));
      QVERIFY(f.frame().filePath().isEmpty());
    }
  }

  void unsavedChangesAreNeverLostSilently() {
    QTemporaryDir dir;
    UiFixture f;
    // A change through a command marks the document.
    f.Select(2);
    f.Expect([](QDialog& d) {
      Type(d, "nameEdit", QStringLiteral("Новый"));
      return Press(d, "okButton");
    });
    f.Trigger(cmd::kAddObject);
    QVERIFY(f.frame().isWindowModified());

    // Cancel keeps everything.
    f.Expect(AnswerSave("cancelButton"));
    f.Trigger(cmd::kFileNew);
    QCOMPARE(f.doc().Groups().At(1)->GetChildCount(), 1);

    // Save goes through Save As for an untitled document, then New proceeds.
    QString path = dir.filePath(QStringLiteral("kept.kdl"));
    f.Expect(AnswerSave("saveButton"));
    f.Expect(ChooseFile(path));
    f.Trigger(cmd::kFileNew);
    QVERIFY(f.AllAnswered());
    QVERIFY(QFile::exists(path));
    QCOMPARE(f.doc().Groups().At(1)->GetChildCount(), 0);
    QVERIFY(!f.frame().isWindowModified());

    // Discard drops the change; a clean document asks nothing.
    f.frame().SetModified(true);
    f.Expect(AnswerSave("discardButton"));
    QVERIFY(f.frame().OpenDocument(path));
    QVERIFY(f.AllAnswered());
    QVERIFY(f.frame().OpenDocument(path));
    QVERIFY(f.unexpected.isEmpty());

    // Closing the window asks too.
    f.frame().SetModified(true);
    f.Expect(AnswerSave("cancelButton"));
    QVERIFY(!f.frame().close());
    QVERIFY(f.frame().isVisible());
    f.Expect(AnswerSave("discardButton"));
    QVERIFY(f.frame().close());
  }

  void aFailedSaveSaysWhyAndAReadOnlyFileOffersSaveAs() {
    UiFixture f;
    QTemporaryDir dir;
    f.frame().SetModified(true);
    f.Expect(ChooseFile(QStringLiteral("/nonexistent-dir/x.kdl")));
    f.ExpectMessage();
    f.Trigger(cmd::kFileSaveAs);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains(QStringLiteral("x.kdl")));
    QVERIFY(f.frame().isWindowModified());

    QString path = dir.filePath(QStringLiteral("ro.kdl"));
    QString other = dir.filePath(QStringLiteral("other.kdl"));
    WriteFile(path, "keep");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QString offer;
    f.Expect(ChooseFile(path));
    f.Expect([&](QDialog& d) {
      offer = static_cast<QMessageBox&>(d).text();
      return Press(d, "saveAsButton");
    });
    f.Expect(ChooseFile(other));
    f.Trigger(cmd::kFileSaveAs);
    QVERIFY(f.AllAnswered());
    QVERIFY2(offer.contains(QStringLiteral("read-only")), qPrintable(offer));
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep"));
    QVERIFY(QFileInfo::exists(other));
    QVERIFY(!f.frame().isWindowModified());
  }
};

QTEST_MAIN(FilesTest)
#include "files_test.moc"
