// Crash recovery: a Kandrel killed with SIGKILL after a change leaves a recovery copy beside
// nothing else; the next start offers it and restores it byte for byte as a modified document
// bound to the original file, which stays untouched until the user saves. Discarding removes it.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstring>

#include "model/document.h"
#include "ui/app/main_frame.h"
#include "ui/app/recovery_keeper.h"
#include "ui/history/record_commands.h"
#include "ui/watch/watch_dock.h"
#include "ui/watch/watch_model.h"
#include "ui_fixture.h"

namespace {

void SetIdentity() {
  QCoreApplication::setOrganizationName(QStringLiteral("KandrelTest"));
  QCoreApplication::setApplicationName(QStringLiteral("recovery_test"));
  QStandardPaths::setTestModeEnabled(true);
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The process that crashes: opens the file, adds a group, waits for its recovery copy, says
// so and waits to be killed.
int RunChild(const QString& path) {
  CMainFrame frame;
  if (!frame.OpenDocument(path)) return 2;
  frame.RunCommand(std::make_unique<AddGroupCommand>("Crash"));
  QString copy = frame.recovery()->store().CopyPathFor(path);
  while (!QFile::exists(copy) || !QFile::exists(QString(copy).replace(".kdl", ".json")))
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QFile out;
  out.open(stdout, QIODevice::WriteOnly);
  out.write("ready\n");
  out.flush();
  for (;;) QThread::sleep(1);
}

}  // namespace

class RecoveryTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    // Each case starts without a recovery folder (one of them puts a file in its place).
    QString folder = CRecoveryStore().folder();
    QFile::remove(folder);
    QDir(folder).removeRecursively();
  }

  void killedProcessLeavesACopyThatIsRestored() {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("plant.kdl"));
    {
      CTarnelDoc doc;
      doc.OnNewDocument();
      doc.SaveFile(QFile::encodeName(path).toStdString());
    }
    QByteArray original = ReadAll(path);
    CRecoveryStore store;
    QDir(store.folder()).removeRecursively();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KANDREL_RECOVERY_INTERVAL_MS"), QStringLiteral("50"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), path});
    QVERIFY(child.waitForStarted());
    QByteArray said;
    while (!said.contains("ready") && child.waitForReadyRead(30000)) said += child.readAll();
    QVERIFY2(said.contains("ready"), said.constData());
    child.kill();  // SIGKILL: no clean exit, nothing removed
    QVERIFY(child.waitForFinished());

    QCOMPARE(ReadAll(path), original);  // the user's file is untouched
    QList<CRecoveryStore::Entry> found = store.FindOrphans();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].originalPath, QFileInfo(path).absoluteFilePath());
    QVERIFY(found[0].nameMatchesPath);
    QByteArray copy = ReadAll(found[0].copyPath);
    QVERIFY(!copy.isEmpty());

    {
      // "Позже", then the same file is edited and saved in a new session: that session's copy
      // has a name of its own, and its save removes only that one.
      UiFixture later;
      later.Expect([](QDialog& d) { return Press(d, "laterButton"); });
      later.frame().recovery()->OfferRecovery();
      QVERIFY(later.frame().OpenDocument(path));
      later.frame().RunCommand(std::make_unique<AddGroupCommand>("Later"));
      later.frame().recovery()->WriteNow();
      QString own = later.frame().recovery()->store().CopyPathFor(path);
      QVERIFY(QFile::exists(own));
      QVERIFY(own != found[0].copyPath);
      QCOMPARE(ReadAll(found[0].copyPath), copy);
      // While this session runs, its copy is not anybody's to offer.
      QCOMPARE(store.FindOrphans().size(), 1);
      QVERIFY(later.frame().SaveDocument());
      QVERIFY(!QFile::exists(own));
      QCOMPARE(ReadAll(found[0].copyPath), copy);
    }
    QCOMPARE(store.FindOrphans().size(), 1);
    QByteArray saved = ReadAll(path);

    UiFixture f;
    QString asked;
    f.Expect([&](QDialog& d) {
      asked = static_cast<QMessageBox&>(d).text();
      return Press(d, "recoverButton");
    });
    f.frame().recovery()->OfferRecovery();
    QVERIFY(f.AllAnswered());
    QVERIFY(asked.contains(QStringLiteral("plant.kdl")));
    QCOMPARE(f.frame().filePath(), QFileInfo(path).absoluteFilePath());
    QVERIFY(f.frame().isWindowModified());
    QCOMPARE(QByteArray::fromStdString(f.doc().SaveToBytes()), copy);
    QCOMPARE(ReadAll(path), saved);
    // Saving writes the restored document over the file and the copy goes.
    QVERIFY(f.frame().SaveDocument());
    QCOMPARE(ReadAll(path), copy);
    QVERIFY(store.FindOrphans().isEmpty());
    QVERIFY(!QFile::exists(found[0].copyPath));
  }

  // Whether a copy is offered depends on its session's lock alone: a held lock hides it, a
  // live process number does not, and sidecars without a session are offered.
  void liveLockHidesACopyAndProcessNumbersDoNot() {
    CRecoveryStore store;
    QDir(store.folder()).removeRecursively();
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("plant.kdl"));
    auto writer = std::make_unique<CRecoveryStore>();
    QVERIFY(writer->Write(path, "bytes"));
    QVERIFY(writer->SessionRuns(writer->session()));
    QVERIFY(store.SessionRuns(writer->session()));
    QVERIFY(store.FindLeftBehind().copies.isEmpty());
    QVERIFY(store.FindLeftBehind().unreadable.isEmpty());
    QString session = writer->session();
    QString copyPath = writer->CopyPathFor(path);
    // The writer goes without removing its copy, as a crash would: the kernel lets the lock go.
    writer.reset();
    QVERIFY(!store.SessionRuns(session));
    QList<CRecoveryStore::Entry> found = store.FindOrphans();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].copyPath, copyPath);
    QCOMPARE(found[0].session, session);

    // Its sidecar names this very process, which runs: that does not hide it.
    QString sidecar = QString(copyPath).replace(QStringLiteral(".kdl"), QStringLiteral(".json"));
    QVERIFY(ReadAll(sidecar).contains("\"pid\":" +
                                      QByteArray::number(QCoreApplication::applicationPid())));
    // An earlier version's sidecar: no session, a live process number.
    QString oldBase = store.folder() + QStringLiteral("/0123456789abcdef-old");
    WriteFile(oldBase + QStringLiteral(".kdl"), "old");
    WriteFile(oldBase + QStringLiteral(".json"),
              QStringLiteral("{\"path\":\"%1\",\"written\":\"2020-01-01T00:00:00.000Z\","
                             "\"pid\":%2}")
                  .arg(dir.filePath(QStringLiteral("old.kdl")))
                  .arg(QCoreApplication::applicationPid())
                  .toUtf8());
    found = store.FindOrphans();
    QCOMPARE(found.size(), 2);
    QCOMPARE(found[0].copyPath, oldBase + QStringLiteral(".kdl"));  // oldest first
    QVERIFY(found[0].session.isEmpty());
    QVERIFY(!found[0].nameMatchesPath);  // its name was not made from that path

    QVERIFY(CRecoveryStore::Discard(found[1]));
    QVERIFY(!QFile::exists(copyPath));
    // Nothing of the session is left, and neither is its lock file.
    QVERIFY(QDir(store.folder()).entryList({session + QStringLiteral("*")}).isEmpty());
  }

  void discardedCopyIsGoneAndAFailedDiscardIsReported() {
    CRecoveryStore store;
    QDir(store.folder()).removeRecursively();
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("other.kdl"));
    QStringList copies;
    {
      CRecoveryStore crashed;
      QVERIFY(crashed.Write(path, "bytes"));
      QVERIFY(crashed.Write(dir.filePath(QStringLiteral("third.kdl")), "third"));
      copies = {crashed.CopyPathFor(path), crashed.CopyPathFor(dir.filePath("third.kdl"))};
    }
    QCOMPARE(store.FindOrphans().size(), 2);

    UiFixture f;
    f.Expect([](QDialog& d) { return Press(d, "discardButton"); });
    QString blocked;
    f.Expect([&](QDialog& d) {
      // The second copy cannot be removed: a folder with something in it stands in its place.
      blocked = store.FindOrphans().constLast().copyPath;
      QFile::remove(blocked);
      QDir().mkpath(blocked + QStringLiteral("/inside"));
      return Press(d, "discardButton");
    });
    f.ExpectMessage();
    f.frame().recovery()->OfferRecovery();
    QVERIFY(f.AllAnswered());
    // The copies are offered in no fixed order: the one not blocked is gone.
    QVERIFY(copies.removeAll(blocked) == 1);
    QVERIFY(!QFile::exists(copies.constFirst()));
    QVERIFY(f.frame().filePath().isEmpty());
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages[0].contains(blocked), qPrintable(f.messages[0]));
    QDir(blocked).removeRecursively();
  }

  // A copy is bound to the file its sidecar names only when its name was made from that path;
  // an empty copy is reported and not restored; the restored document has its watch list.
  void restoreBindsOnlyTheFileTheCopyWasWrittenFor() {
    CRecoveryStore store;
    QDir(store.folder()).removeRecursively();
    QTemporaryDir dir;
    QString victim = dir.filePath(QStringLiteral("notes.txt"));
    WriteFile(victim, "not a base");
    QString plant = dir.filePath(QStringLiteral("plant.kdl"));
    QByteArray bytes;
    uint32_t watched = 0;
    {
      UiFixture f;
      CObj* obj = f.AddObject(f.doc().Groups().At(0), "Boiler");
      CAtom* atom = f.AddAtom(obj, "Pump");
      watched = f.AddProperty(atom, "Level", 1, "10")->id;
      f.Rebuild();
      f.doc().SaveFile(QFile::encodeName(plant).toStdString());
      f.frame().watchDock()->model()->Add({watched});
      f.frame().watchDock()->FileSaved(plant);
      bytes = QByteArray::fromStdString(f.doc().SaveToBytes());
    }
    QString copyPath;
    {
      CRecoveryStore crashed;
      QVERIFY(crashed.Write(plant, bytes));
      copyPath = crashed.CopyPathFor(plant);
    }
    // The sidecar is pointed at another file.
    QString sidecar = QString(copyPath).replace(QStringLiteral(".kdl"), QStringLiteral(".json"));
    QByteArray json = ReadAll(sidecar);
    WriteFile(sidecar, json.replace(QFileInfo(plant).absoluteFilePath().toUtf8(),
                                    QFileInfo(victim).absoluteFilePath().toUtf8()));
    {
      UiFixture f;
      f.Expect([](QDialog& d) { return Press(d, "recoverButton"); });
      f.frame().recovery()->OfferRecovery();
      QVERIFY(f.frame().filePath().isEmpty());
      QVERIFY(f.frame().isWindowModified());
      QCOMPARE(QByteArray::fromStdString(f.doc().SaveToBytes()), bytes);
      QString asked;
      f.Expect([&](QDialog& d) {
        asked = d.objectName();
        return int(QDialog::Rejected);
      });
      QVERIFY(!f.frame().SaveDocument());
      QCOMPARE(asked, QStringLiteral("saveDialog"));
      QCOMPARE(ReadAll(victim), QByteArray("not a base"));
      f.frame().SetModified(false);
    }
    // Written for plant.kdl and named so: bound to it, with its watch list.
    {
      CRecoveryStore crashed;
      QVERIFY(crashed.Write(plant, bytes));
    }
    {
      UiFixture f;
      f.Expect([](QDialog& d) { return Press(d, "recoverButton"); });
      f.frame().recovery()->OfferRecovery();
      QCOMPARE(f.frame().filePath(), QFileInfo(plant).absoluteFilePath());
      QCOMPARE(f.frame().watchDock()->model()->rowCount(), 1);
      f.frame().SetModified(false);
    }
    // An empty copy.
    {
      CRecoveryStore crashed;
      QVERIFY(crashed.Write(plant, QByteArray()));
    }
    {
      UiFixture f;
      f.Expect([](QDialog& d) { return Press(d, "recoverButton"); });
      f.ExpectMessage();
      f.frame().recovery()->OfferRecovery();
      QVERIFY(f.AllAnswered());
      QVERIFY(f.messages[0].contains(QStringLiteral("пуста")));
      QVERIFY(f.frame().filePath().isEmpty());
      QVERIFY(!f.frame().isWindowModified());
    }
    QCOMPARE(store.FindOrphans().size(), 1);  // still there for another try
  }

  // Sidecars that cannot be read are listed once, and may go with their copies.
  void unreadableSidecarsAreListedOnce() {
    CRecoveryStore store;
    QDir(store.folder()).removeRecursively();
    QSettings().remove(QStringLiteral("recovery"));
    QDir().mkpath(store.folder());
    QString bad = store.folder() + QStringLiteral("/sdead1-0123456789abcdef-bad");
    WriteFile(bad + QStringLiteral(".json"), "{not json");
    WriteFile(bad + QStringLiteral(".kdl"), "copy");
    {
      UiFixture f;
      QString details;
      f.Expect([&](QDialog& d) {
        details = static_cast<QMessageBox&>(d).detailedText();
        return Press(d, "keepUnreadableButton");
      });
      f.frame().recovery()->OfferRecovery();
      QVERIFY(f.AllAnswered());
      QVERIFY(details.contains(QStringLiteral("sdead1-0123456789abcdef-bad.json")));
      // Not asked about again.
      f.frame().recovery()->OfferRecovery();
      QVERIFY(f.unexpected.isEmpty());
      QVERIFY(QFile::exists(bad + QStringLiteral(".json")));
    }
    // A sidecar without its copy is new: it alone is listed, and both go.
    QString lone = store.folder() + QStringLiteral("/sdead2-0123456789abcdef-lone.json");
    WriteFile(lone, "{\"path\":\"\",\"written\":\"2020-01-01T00:00:00Z\",\"session\":\"sdead2\"}");
    {
      UiFixture f;
      QString details;
      f.Expect([&](QDialog& d) {
        details = static_cast<QMessageBox&>(d).detailedText();
        return Press(d, "deleteUnreadableButton");
      });
      f.frame().recovery()->OfferRecovery();
      QVERIFY(f.AllAnswered());
      QVERIFY(details.contains(QStringLiteral("lone")));
      QVERIFY(!details.contains(QStringLiteral("bad")));
    }
    QVERIFY(!QFile::exists(lone));
    QVERIFY(QFile::exists(bad + QStringLiteral(".json")));
    QVERIFY(CRecoveryStore::DiscardSidecar(bad + QStringLiteral(".json")));
    QVERIFY(QDir(store.folder()).entryList(QDir::Files).isEmpty());
  }

  // No copy can be written: the status bar says so once, until a copy is written again.
  void crashProtectionOffIsReportedOnce() {
    CRecoveryStore store;
    QDir(store.folder()).removeRecursively();
    QDir().mkpath(QFileInfo(store.folder()).absolutePath());
    WriteFile(store.folder(), "a file where the folder belongs");
    UiFixture f;
    f.frame().RunCommand(std::make_unique<AddGroupCommand>("Unsaved"));
    f.frame().recovery()->WriteNow();
    QVERIFY(f.frame().recovery()->protectionOff());
    QString said = f.frame().statusBar()->currentMessage();
    QVERIFY2(said.contains(QStringLiteral("Защита от сбоев отключена")), qPrintable(said));
    QVERIFY(said.contains(store.folder()));
    f.frame().statusBar()->clearMessage();
    f.frame().recovery()->WriteNow();
    QVERIFY(!f.frame().statusBar()->currentMessage().contains(QStringLiteral("Защита")));
    QFile::remove(store.folder());
    f.frame().recovery()->WriteNow();
    QVERIFY(!f.frame().recovery()->protectionOff());
    f.frame().SetModified(false);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SetIdentity();
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
    return RunChild(QString::fromLocal8Bit(argv[2]));
  RecoveryTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "recovery_test.moc"
