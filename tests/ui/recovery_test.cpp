// Crash recovery: a Kandrel killed with SIGKILL after a change leaves a recovery copy beside
// nothing else; the next start offers it and restores it byte for byte as a modified document
// bound to the original file, which stays untouched until the user saves. Discarding removes it.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstring>

#include "model/document.h"
#include "ui/app/main_frame.h"
#include "ui/app/recovery_keeper.h"
#include "ui/history/record_commands.h"
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
    QByteArray copy = ReadAll(found[0].copyPath);
    QVERIFY(!copy.isEmpty());

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
    QCOMPARE(ReadAll(path), original);
    // Saving writes the restored document over the file and the copy goes.
    QVERIFY(f.frame().SaveDocument());
    QCOMPARE(ReadAll(path), copy);
    QVERIFY(store.FindOrphans().isEmpty());
    QVERIFY(!QFile::exists(found[0].copyPath));
  }

  void discardedCopyIsGone() {
    CRecoveryStore store;
    QDir(store.folder()).removeRecursively();
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("other.kdl"));
    QVERIFY(store.Write(path, "bytes"));
    // Written by this process: not an orphan while it runs.
    QVERIFY(store.FindOrphans().isEmpty());
    QFile sidecar(QString(store.CopyPathFor(path)).replace(".kdl", ".json"));
    QVERIFY(sidecar.open(QIODevice::ReadWrite));
    QByteArray json = sidecar.readAll();
    json.replace(QByteArray::number(QCoreApplication::applicationPid()), "999999999");
    sidecar.resize(0);
    sidecar.write(json);
    sidecar.close();
    QCOMPARE(store.FindOrphans().size(), 1);

    UiFixture f;
    f.Expect([](QDialog& d) { return Press(d, "discardButton"); });
    f.frame().recovery()->OfferRecovery();
    QVERIFY(store.FindOrphans().isEmpty());
    QVERIFY(!QFile::exists(store.CopyPathFor(path)));
    QVERIFY(f.frame().filePath().isEmpty());
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
