// Imports stopped half way: the document is byte for byte what it was (identifier counter
// included) and the edit history has neither gained nor lost a step; an import let run to the
// end is one step that undo takes back to the same bytes.
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "model/document.h"
#include "model/edit_history.h"
#include "progress_recorder.h"
#include "sample_base.h"
#include "ui/history/import_commands.h"
#include "ui/history/record_commands.h"
#include "xml/export_file.h"
#include "xml/import_parser.h"
#include "xml/import_selection.h"

class ProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void stoppedImportsLeaveDocumentAndHistory();
};

namespace {

// An import of the whole interchange file under `targetId`, as "Применить" would run it.
std::unique_ptr<CEditCommand> XmlImport(const CTarnelDoc& doc, const std::string& path,
                                        uint32_t targetId) {
  auto parser = std::make_unique<CImportParser>();
  if (!parser->Load(path)) return nullptr;
  auto selection = FillImportTree(*parser, doc.LookupRecord(targetId));
  return std::make_unique<XmlImportCommand>(std::move(selection), std::move(parser), targetId);
}

}  // namespace

void ProgressTest::stoppedImportsLeaveDocumentAndHistory() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const std::string xml = dir.filePath(QStringLiteral("part.xml")).toStdString();
  const std::string c2ko = dir.filePath(QStringLiteral("part.c2ko")).toStdString();
  {
    CTarnelDoc source;
    BuildSampleBase(source, 4000);
    QVERIFY(CExportFile(source, nullptr, xml).Export());
    std::ofstream out(c2ko, std::ios::binary);
    for (int i = 0; i < 2000; ++i)
      out << "O}{o" << i << "}\r\n A}{a}\r\n  P}{DecPoint}{-}{0}{0}{0}{0}{0}{0}{-}{short}{-}{1}"
          << "{-}{-}{2}\r\n";
  }

  CTarnelDoc doc;
  BuildSampleBase(doc, 3000);
  CEditHistory history;
  // One step done and one undone: both must survive a stopped import.
  {
    EditContext ctx{doc, {}, {}, {}, nullptr, false};
    QVERIFY(history.Run(std::make_unique<AddGroupCommand>("first"), ctx));
    QVERIFY(history.Run(std::make_unique<AddGroupCommand>("second"), ctx));
    QVERIFY(history.Undo(doc));
  }
  const std::string before = doc.SaveToBytes();
  const uint32_t object = doc.Groups().At(0)->children.At(0)->id;

  struct Case {
    const char* name;
    std::function<std::unique_ptr<CEditCommand>()> make;
  };
  C2koOutcome outcome;
  const Case cases[] = {
      {"xml at the top level", [&] { return XmlImport(doc, xml, 0); }},
      {"xml under an object", [&] { return XmlImport(doc, xml, object); }},
      {"c2ko under an object",
       [&] {
         return std::make_unique<C2koImportCommand>(object, QString::fromStdString(c2ko), &outcome);
       }},
  };
  for (const Case& c : cases) {
    for (long stopAfter : {0L, 4L}) {
      ProgressRecorder stopping(stopAfter);
      EditContext ctx{doc, {}, {}, {}, nullptr, false};
      ctx.progress = &stopping;
      auto command = c.make();
      QVERIFY2(command, c.name);
      QVERIFY2(!history.Run(std::move(command), ctx), c.name);
      QVERIFY2(ctx.cancelled, c.name);
      QVERIFY2(doc.SaveToBytes() == before, c.name);
      QCOMPARE(history.Count(), size_t(1));
      QCOMPARE(history.RedoCount(), size_t(1));
    }
    // The records made before the stop were really there: the whole import makes more than
    // one report's worth.
    ProgressRecorder going;
    EditContext ctx{doc, {}, {}, {}, nullptr, false};
    ctx.progress = &going;
    QVERIFY2(history.Run(c.make(), ctx), c.name);
    QVERIFY2(going.steps.size() > 5, c.name);
    QVERIFY2(going.Fault().empty(), going.Fault().c_str());
    QVERIFY2(doc.SaveToBytes() != before, c.name);
    QVERIFY(history.Undo(doc));
    QVERIFY2(doc.SaveToBytes() == before, c.name);
  }
  QVERIFY(outcome.error.isEmpty());
}

QTEST_MAIN(ProgressTest)
#include "progress_test.moc"
