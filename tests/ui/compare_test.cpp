// The comparison in the editor: the differences model over a real result, the kind filter,
// F8 stepping, the tree's marks, an unreadable file, take-over as one undoable step, and a
// comparison against kandrel-sim over loopback. (The comparison itself is base_compare_test's.)
#include <sys/resource.h>
#include <QAbstractItemModelTester>
#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <map>
#include <set>

#include "model/document.h"
#include "model/document_edits.h"
#include "model/value_types.h"
#include "net/base_session.h"
#include "ui/compare/compare_owner.h"
#include "ui/compare/difference_model.h"
#include "ui/network/frame_network.h"
#include "ui/tree/record_model.h"
#include "ui/tree/structure_tree.h"
#include "ui_fixture.h"

namespace {

// The address space the process takes now, from /proc.
size_t VirtualBytes() {
  QFile status(QStringLiteral("/proc/self/status"));
  status.open(QIODevice::ReadOnly);
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmSize:"))
      return size_t(line.mid(7).trimmed().split(' ')[0].toULongLong()) << 10;
  return 0;
}

// The document as sample.kdl with one object added, another deleted and a group renamed.
struct Edits {
  uint32_t added = 0, deleted = 0, deletedParent = 0, renamed = 0;
};
Edits EditSample(UiFixture& f) {
  Edits e;
  CTarnelDoc& doc = f.doc();
  CRecord* group = doc.Groups().At(0);
  e.added = f.AddObject(group, "Новый шкаф")->id;
  CRecord* victim = AsChildHolder(doc.Groups().At(1))->GetChild(0);
  e.deleted = victim->id;
  e.deletedParent = doc.Groups().At(1)->id;
  DeleteRecord(doc, victim);
  doc.Groups().At(2)->name = W("Network (правка)");
  e.renamed = doc.Groups().At(2)->id;
  f.Rebuild();
  return e;
}

// The rows F8 visits from the top, each once.
std::vector<QPersistentModelIndex> SteppedRows(CDifferenceModel& m) {
  std::vector<QPersistentModelIndex> rows;
  for (QModelIndex i = m.Step({}, true); i.isValid() && rows.size() < 10000; i = m.Step(i, true)) {
    if (!rows.empty() && i == rows.front()) break;
    rows.push_back(i);
  }
  return rows;
}

int KindsOf(const QModelIndex& row) {
  return row.data(CDifferenceModel::kKindsRole).toInt();
}

}  // namespace

class CompareTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void differencesModelFilterStepsAndMarks() {
    UiFixture f;
    QVERIFY(f.frame().OpenDocument(QStringLiteral(KANDREL_SAMPLE)));
    Edits e = EditSample(f);
    CCompareOwner& c = *f.frame().compare();
    QVERIFY(c.CompareWithFile(QStringLiteral(KANDREL_SAMPLE)));
    QVERIFY(c.IsOpen());
    CDifferenceModel& m = *c.model();
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QCOMPARE(m.Count(DifferenceKind::kChanged), 1);
    QCOMPARE(m.ShownCount(), int(c.result()->differences.size()));

    // The tree marks what differs by its colour.
    CRecordModel& tree = *f.frame().GetTreeView()->recordModel();
    auto colour = [&](uint32_t id) {
      return tree.data(tree.IndexOfId(id), Qt::ForegroundRole).value<QColor>();
    };
    QCOMPARE(colour(e.renamed), DifferenceColor(DifferenceKind::kChanged));
    QCOMPARE(colour(e.added), DifferenceColor(DifferenceKind::kRemoved));
    QCOMPARE(colour(e.deletedParent), DifferenceColor(DifferenceKind::kAdded));

    // F8 visits every row with differences once, in the list's order, then starts over;
    // Shift+F8 goes back the same way.
    QAction* next = f.frame().findChild<QAction*>(QStringLiteral("actionNextDifference"));
    QAction* prev = f.frame().findChild<QAction*>(QStringLiteral("actionPreviousDifference"));
    QVERIFY(next && prev);
    c.list()->setCurrentIndex({});
    std::vector<QPersistentModelIndex> rows = SteppedRows(m);
    QVERIFY(rows.size() >= 3);
    std::vector<QPersistentModelIndex> visited;
    for (size_t k = 0; k <= rows.size(); ++k) {
      next->trigger();
      visited.push_back(c.list()->currentIndex());
    }
    QCOMPARE(visited.back(), rows.front());
    visited.pop_back();
    QCOMPARE(visited, rows);
    prev->trigger();
    QCOMPARE(QPersistentModelIndex(c.list()->currentIndex()), rows.back());

    // Stepping to the renamed group selects it in the structure tree and shows both names.
    for (const auto& r : rows)
      if (KindsOf(r) == KindBit(DifferenceKind::kChanged)) c.list()->setCurrentIndex(r);
    QCOMPARE(f.frame().selectedId(), e.renamed);
    QCOMPARE(c.sides()->item(2, 0)->text(), QStringLiteral("Network (правка)"));
    QCOMPARE(c.sides()->item(2, 1)->text(), QStringLiteral("Network"));
    // An added record selects its nearest parent the document holds.
    for (const auto& r : rows)
      if (KindsOf(r) == KindBit(DifferenceKind::kAdded) &&
          c.result()
                  ->differences[size_t(m.data(r, CDifferenceModel::kDifferenceRole).toInt())]
                  .secondId == e.deleted) {
        c.list()->setCurrentIndex(r);
        QCOMPARE(f.frame().selectedId(), e.deletedParent);
      }

    // The filter shows one kind; counts stay those of the whole result.
    int added = m.Count(DifferenceKind::kAdded);
    m.SetKindFilter(KindBit(DifferenceKind::kAdded));
    QCOMPARE(m.ShownCount(), added);
    QCOMPARE(m.Count(DifferenceKind::kChanged), 1);
    for (const auto& r : SteppedRows(m)) QCOMPARE(KindsOf(r), int(KindBit(DifferenceKind::kAdded)));
    m.SetKindFilter(0);
    QCOMPARE(m.rowCount(), 0);
    QVERIFY(!m.Step({}, true).isValid());
    m.SetKindFilter(kAllKinds);

    // Closing takes the marks away.
    c.Close();
    QVERIFY(!tree.data(tree.IndexOfId(e.renamed), Qt::ForegroundRole).isValid());
    QVERIFY(!next->isEnabled());
  }

  // Rows stand for record paths: records of one path share a row, wherever their differences
  // fall in the list. Here "a b" sorts between "a" and what lies under "a", two objects are
  // named "a", and records only the second document holds hang under rows the first one made.
  void differencesModelGivesEachPathOneRow() {
    CTarnelDoc first;
    CRecord* g = first.NewGroup("G");
    CRecord* a1 = first.NewObject(g, "a");
    CRecord* ab = first.NewObject(g, "a b");
    CRecord* a2 = first.NewObject(g, "a");
    first.NewObject(g, "z");
    first.NewAtom(a1, "c");
    first.NewAtom(ab, "x");
    first.NewAtom(a2, "c");
    uint32_t d = first.NewAtom(a2, "d")->id;
    CTarnelDoc second;
    second.OpenBytes(first.SaveToBytes(), "second");
    CRecord* g2 = second.LookupRecord(g->id);
    QVERIFY(second.MoveRecord(second.LookupRecord(a1->id), g2, 3));  // /G/a moved
    second.LookupRecord(AsChildHolder(ab)->GetChild(0)->id)->name = "x2";
    second.LookupRecord(AsChildHolder(a1)->GetChild(0)->id)->name = "c2";
    QVERIFY(second.RemoveRecord(second.LookupRecord(d)));
    second.NewAtom(second.LookupRecord(a2->id), "e");
    second.NewAtom(second.LookupRecord(a1->id), "b");
    auto result = std::make_shared<const CompareResult>(CompareDocuments(first, second));
    QCOMPARE(result->differences.size(), size_t(6));

    CDifferenceModel m;
    QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
    m.SetResult(result);
    // Every row's path from its own and its parents' names; no two siblings share a name.
    std::map<QString, int> rows;
    std::function<void(const QModelIndex&, const QString&)> walk = [&](const QModelIndex& parent,
                                                                       const QString& path) {
      std::set<QString> names;
      for (int row = 0; row < m.rowCount(parent); ++row) {
        QModelIndex i = m.index(row, 0, parent);
        QString name = i.data().toString();
        QVERIFY2(names.insert(name).second, qPrintable(path + "/" + name));
        rows[path + "/" + name] = 0;
        walk(i, path + "/" + name);
      }
    };
    walk({}, {});
    QCOMPARE(rows.size(), size_t(8));  // G, a, a b, a/b, a/c, a/d, a/e, a b/x, and nothing else
    for (size_t k = 0; k < result->differences.size(); ++k) {
      QModelIndex row = m.IndexOfDifference(int(k));
      QString path;
      for (QModelIndex i = row; i.isValid(); i = i.parent())
        path = "/" + i.data().toString() + path;
      QCOMPARE(path, QString::fromStdString(result->PathOf(result->differences[k])));
      ++rows[path];
    }
    QCOMPARE(rows[QStringLiteral("/G/a")], 1);    // moved
    QCOMPARE(rows[QStringLiteral("/G/a/c")], 1);  // the first "a"'s, renamed
    QCOMPARE(rows[QStringLiteral("/G")], 0);
  }

  // A file that cannot be read: one message naming it, the comparison stays as it was.
  void unreadableFileIsNamedAndChangesNothing() {
    UiFixture f;
    QVERIFY(f.frame().OpenDocument(QStringLiteral(KANDREL_SAMPLE)));
    EditSample(f);
    CCompareOwner& c = *f.frame().compare();
    QVERIFY(c.CompareWithFile(QStringLiteral(KANDREL_SAMPLE)));
    size_t total = c.result()->differences.size();
    f.ExpectMessage();
    QVERIFY(!c.CompareWithFile(QStringLiteral("/nonexistent/other.kdl")));
    QCOMPARE(f.messages.size(), 1);
    QVERIFY(f.messages[0].contains(QStringLiteral("other.kdl")));
    QCOMPARE(c.result()->differences.size(), total);
  }

  // A comparison that runs out of memory: one message, the document and the comparison open
  // before stay as they were.
  void runningOutOfMemoryIsReportedAndKeepsTheDocument() {
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer reserves more address space than any limit");
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    QSKIP("the address sanitizer reserves more address space than any limit");
#endif
#endif
    UiFixture f;
    QVERIFY(f.frame().OpenDocument(QStringLiteral(KANDREL_SAMPLE)));
    EditSample(f);
    CCompareOwner& c = *f.frame().compare();
    QVERIFY(c.CompareWithFile(QStringLiteral(KANDREL_SAMPLE)));
    size_t total = c.result()->differences.size();
    std::string before = f.doc().SaveToBytes();
    // A file of 64 MB (one long value), read with 32 MB of address space to spare.
    QTemporaryDir dir;
    QString big = dir.filePath(QStringLiteral("big.kdl"));
    {
      CTarnelDoc doc;
      doc.OnNewDocument();
      CAtom* atom = doc.NewAtom(doc.NewObject(doc.Groups().At(0)));
      doc.NewProperty(atom, [](CPropertyItem& p) {
        p.typeCode = kTypeFile;
        p.valueText.assign(64u << 20, 'x');
        return true;
      });
      doc.SaveFile(QFile::encodeName(big).toStdString());
    }
    struct rlimit was = {};
    ::getrlimit(RLIMIT_AS, &was);
    struct rlimit tight = was;
    tight.rlim_cur = rlim_t(VirtualBytes()) + (32u << 20);
    f.ExpectMessage();
    ::setrlimit(RLIMIT_AS, &tight);
    bool compared = c.CompareWithFile(big);
    ::setrlimit(RLIMIT_AS, &was);
    QVERIFY(!compared);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages[0].contains(QStringLiteral("памяти")), qPrintable(f.messages[0]));
    QVERIFY(f.messages[0].contains(QStringLiteral("big.kdl")));
    QCOMPARE(c.result()->differences.size(), total);
    QVERIFY(f.doc().SaveToBytes() == before);
  }

  void takeOverIsOneUndoableStep() {
    UiFixture f;
    QVERIFY(f.frame().OpenDocument(QStringLiteral(KANDREL_SAMPLE)));
    EditSample(f);
    std::string before = f.doc().SaveToBytes();
    CCompareOwner& c = *f.frame().compare();
    QVERIFY(c.CompareWithFile(QStringLiteral(KANDREL_SAMPLE)));
    size_t steps = f.frame().history().Count();

    // One selected difference first: only it goes.
    size_t total = c.result()->differences.size();
    for (const auto& r : SteppedRows(*c.model()))
      if (KindsOf(r) == KindBit(DifferenceKind::kChanged))
        c.list()->selectionModel()->select(
            r, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QVERIFY(c.TakeOverSelected());
    QCOMPARE(c.result()->differences.size(), total - 1);
    QCOMPARE(c.model()->Count(DifferenceKind::kChanged), 0);
    QVERIFY(f.frame().UndoChange());
    QTRY_COMPARE(c.result()->differences.size(), total);

    QVERIFY(c.TakeOverAll());
    QVERIFY(c.result()->Equal());
    QCOMPARE(f.frame().history().Count(), steps + 1);
    QVERIFY(f.frame().isWindowModified());
    // Undo gives back the document as it was, byte for byte, and the differences.
    QVERIFY(f.frame().UndoChange());
    QCOMPARE(f.doc().SaveToBytes(), before);
    QTRY_COMPARE(c.result()->differences.size(), total);
  }

#ifdef KANDREL_SIM
  void compareWithServerAndSendValues() {
    QProcess sim;
    quint16 port = StartSim(sim, QStringLiteral(KANDREL_SIM), QStringLiteral(KANDREL_SAMPLE));
    QVERIFY(port);

    UiFixture f;
    QVERIFY(f.frame().OpenDocument(QStringLiteral(KANDREL_SAMPLE)));
    Edits e = EditSample(f);
    // A value edited while not connected: nothing went to the server.
    CPropertyItem* p = nullptr;
    for (uint32_t id = 1; !p && id <= f.doc().Ids().GetLastId(); ++id)
      if (auto* q = AsProperty(f.doc().LookupRecord(id)); q && q->typeCode == kTypeShort) p = q;
    uint32_t changedValue = p->GetRawValue() + 3;
    p->SetRawValue(changedValue);
    p->UpdateTextFromRaw(p->GetValueText());
    CCompareOwner& c = *f.frame().compare();
    QAction* server = f.frame().findChild<QAction*>(QStringLiteral("actionCompareServer"));
    c.menu()->aboutToShow();
    QVERIFY(!server->isEnabled());

    CBaseSession& session = f.frame().network()->session();
    QVERIFY(session.Connect("127.0.0.1", port));
    int records = f.doc().Ids().Count();
    QVERIFY(c.CompareWithServer());
    QTRY_VERIFY_WITH_TIMEOUT(c.IsOpen(), 10000);
    // The open document stays as it was.
    QCOMPARE(f.doc().Ids().Count(), records);
    QVERIFY(f.doc().LookupRecord(e.added));
    // Structure only at first: a live server's values move.
    QVERIFY(!c.valuesToo());
    QCOMPARE(c.model()->Count(DifferenceKind::kChanged), 1);
    QVERIFY(c.model()->Count(DifferenceKind::kAdded) >= 1);
    c.SetValuesToo(true);
    QCOMPARE(c.model()->Count(DifferenceKind::kChanged), 2);

    // "Отправить значения": the server takes the document's value, and the comparison asked
    // afresh no longer finds it.
    QCOMPARE(c.SendValues(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(c.model()->Count(DifferenceKind::kChanged), 1, 10000);
    QCOMPARE(p->GetRawValue(), changedValue);
    session.Disconnect();
    sim.terminate();
    sim.waitForFinished(5000);
  }
#endif
};

QTEST_MAIN(CompareTest)
#include "compare_test.moc"
