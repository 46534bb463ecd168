// The widget-free monitoring pieces: the sample ring, CSV of recorded samples, the reconnect
// schedule and its timer, and value resync.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include "model/document.h"
#include "model/value_types.h"
#include "net/monitor/reconnect_schedule.h"
#include "net/monitor/sample_csv.h"
#include "net/monitor/value_resync.h"
#include "net/monitor/value_ring.h"
#include "random_edits.h"
#include "sample_base.h"
#include "test_peer.h"

namespace {

std::vector<double> Values(const CValueRing& ring) {
  std::vector<double> v;
  for (size_t i = 0; i < ring.Size(); ++i) v.push_back(ring.At(i).value);
  return v;
}

TEST(ValueRing, KeepsTheNewestSamplesOldestFirst) {
  CValueRing ring(3);
  EXPECT_TRUE(ring.Empty());
  for (int i = 1; i <= 2; ++i) ring.Push(i, i);
  EXPECT_EQ(Values(ring), (std::vector<double>{1, 2}));
  for (int i = 3; i <= 7; ++i) ring.Push(i, i);
  EXPECT_EQ(Values(ring), (std::vector<double>{5, 6, 7}));
  EXPECT_EQ(ring.At(0).msecs, 5);
  EXPECT_EQ(ring.Latest().value, 7);
  EXPECT_EQ(ring.Dropped(), 4u);
  ring.Clear();
  EXPECT_TRUE(ring.Empty());
  ring.Push(9, 9);
  EXPECT_EQ(Values(ring), std::vector<double>{9});

  CValueRing one(0);  // never less than one sample
  one.Push(1, 1);
  one.Push(2, 2);
  EXPECT_EQ(Values(one), std::vector<double>{2});
}

// The epoch milliseconds of a local wall-clock time.
int64_t Local(int h, int m, int s, int ms) {
  return QDateTime(QDate(2026, 3, 14), QTime(h, m, s, ms)).toMSecsSinceEpoch();
}

RecordedSeries Series(uint32_t id, std::string path, std::vector<std::pair<int64_t, double>> s) {
  RecordedSeries r;
  r.id = id;
  r.path = std::move(path);
  r.samples = CValueRing(16);
  for (auto [t, v] : s) r.samples.Push(t, v);
  return r;
}

TEST(SampleCsv, FieldsAreQuotedOnlyWhenTheyMustBe) {
  EXPECT_EQ(CsvField("plain"), "plain");
  EXPECT_EQ(CsvField(""), "");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
  EXPECT_EQ(CsvField("lf\nonly"), "\"lf\nonly\"");
  EXPECT_EQ(CsvField("Насос №1"), "Насос №1");
  EXPECT_EQ(CsvRow({"a", "b,c", ""}), "a,\"b,c\",\r\n");

  EXPECT_EQ(FormatSampleValue(42), "42");
  EXPECT_EQ(FormatSampleValue(-0.1), "-0.1");
  EXPECT_EQ(FormatSampleValue(1e20), "1e+20");
  EXPECT_EQ(FormatSampleValue(double(3.14f)), "3.140000104904175");

  // Local time with milliseconds and the offset that makes it one moment anywhere.
  int64_t t = Local(9, 5, 7, 42);
  std::string iso = IsoTimeMs(t);
  EXPECT_EQ(iso.substr(0, 23), "2026-03-14T09:05:07.042") << iso;
  QDateTime back = QDateTime::fromString(QString::fromStdString(iso), Qt::ISODateWithMs);
  EXPECT_EQ(back.toMSecsSinceEpoch(), t) << iso;
}

TEST(SampleCsv, LongFormHasOneRowPerSampleInTimeOrderWithPathsInUtf8) {
  // Record paths are windows-1251 in the model: "/Логика/Насос, \"главный\"/Q" and a plain one.
  std::string cyrillic = "/\xCB\xEE\xE3\xE8\xEA\xE0/\xCD\xE0\xF1\xEE\xF1, \"main\"/Q";
  RecordedSeries a = Series(17, cyrillic, {{Local(1, 0, 0, 0), 1.5}, {Local(1, 0, 2, 0), 2}});
  RecordedSeries b = Series(5, "/L/x\ny", {{Local(1, 0, 0, 0), -3}, {Local(1, 0, 1, 0), 4}});
  std::string csv = SamplesToCsv({&a, &b}, CsvForm::kLong);
  std::string t0 = IsoTimeMs(Local(1, 0, 0, 0)), t1 = IsoTimeMs(Local(1, 0, 1, 0)),
              t2 = IsoTimeMs(Local(1, 0, 2, 0));
  std::string pathA = "\"/Логика/Насос, \"\"main\"\"/Q\"";
  EXPECT_EQ(csv, "time,id,path,value\r\n" +              //
                     t0 + ",17," + pathA + ",1.5\r\n" +  // equal times: series order
                     t0 + ",5,\"/L/x\ny\",-3\r\n" +      //
                     t1 + ",5,\"/L/x\ny\",4\r\n" +       //
                     t2 + ",17," + pathA + ",2\r\n");
}

TEST(SampleCsv, WideFormHasOneRowPerTimeAndEmptyCellsWhereNothingWasRecorded) {
  int64_t t0 = Local(2, 0, 0, 0), t1 = Local(2, 0, 0, 500);
  RecordedSeries a = Series(1, "/G/A/p", {{t0, 1}, {t1, 2}, {t1, 3}});  // two in one millisecond
  RecordedSeries b = Series(2, "/G/B/p", {{t1, 9}});
  RecordedSeries c = Series(3, "/G/B/p", {});  // the same path as b: told apart by identifier
  std::string csv = SamplesToCsv({&a, &b, &c}, CsvForm::kWide);
  EXPECT_EQ(csv, "time,/G/A/p,/G/B/p #2,/G/B/p #3\r\n" +  //
                     IsoTimeMs(t0) + ",1,,\r\n" +         //
                     IsoTimeMs(t1) + ",2,9,\r\n" +        //
                     IsoTimeMs(t1) + ",3,,\r\n");
  EXPECT_EQ(SamplesToCsv({}, CsvForm::kWide), "time\r\n");
}

TEST(Reconnect, WaitsDoubleUpToThirtySecondsAndStartOverAfterAConnection) {
  CReconnectSchedule s;
  std::vector<int> waits;
  for (int i = 0; i < 40; ++i) waits.push_back(s.NextDelaySeconds());
  EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + 7),
            (std::vector<int>{1, 2, 4, 8, 16, 30, 30}));
  EXPECT_EQ(waits.back(), 30);
  EXPECT_EQ(s.Attempts(), 40);
  s.Reset();
  EXPECT_EQ(s.NextDelaySeconds(), 1);
}

TEST(Reconnect, TimerCountsDownSaysWhenToTryAndStopsWhenCancelled) {
  CReconnectTimer timer;
  timer.SetSecondLength(1);
  std::vector<int> shown;
  int due = 0;
  QObject::connect(&timer, &CReconnectTimer::countdown, [&](int s) { shown.push_back(s); });
  QObject::connect(&timer, &CReconnectTimer::attemptDue, [&] { ++due; });

  timer.ConnectionLost();  // 1 s
  ASSERT_TRUE(WaitUntil([&] { return due == 1; }));
  timer.ConnectionLost();  // the attempt failed: 2 s
  ASSERT_TRUE(WaitUntil([&] { return due == 2; }));
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 1}));
  EXPECT_FALSE(timer.IsWaiting());

  timer.ConnectionUp();
  shown.clear();
  timer.ConnectionLost();  // starts over at 1 s
  EXPECT_EQ(shown, std::vector<int>{1});
  timer.ConnectionLost();
  timer.Cancel();  // "Отключиться" while waiting
  EXPECT_FALSE(timer.IsWaiting());
  RunPosted();
  QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(due, 2);
  timer.ConnectionLost();
  EXPECT_EQ(shown.back(), 1);  // a cancel starts over too
}

// ---- value resync ----

class CountingSink : public IDocumentObserver {
 public:
  void ValueChanged(CPropertyItem*, uint32_t) override { ++posted; }
  void RecordChanged(CRecord*) override { ++changed; }
  int posted = 0;
  int changed = 0;
};

// Every record's identifier, kind, name, type and place, without values.
std::string Structure(CTarnelDoc& doc) {
  std::string out;
  for (const CRecord* r : AllRecords(doc)) {
    out += GetRecordPath(r) + "#" + std::to_string(r->id) + ":" + std::to_string(r->Kind());
    if (const CPropertyItem* p = AsProperty(r))
      out += ":" + std::to_string(p->typeCode) + ":" + std::to_string(p->incomingLinks.size());
    out += "\n";
  }
  return out;
}

struct Resync : ::testing::Test {
  CountingSink sink;
  CTarnelDoc open, fresh;

  void SetUp() override {
    open.events().AddObserver(&sink);  // what would go out as message 203
    BuildSampleBase(open, 2000);
    std::string bytes = open.SaveToBytes();
    ArchiveReader ar(bytes.data(), bytes.size());
    fresh.TakeContents(CTarnelDoc::ReadContents(ar));
    sink.posted = sink.changed = 0;
  }
  void TearDown() override { open.events().RemoveObserver(&sink); }

  // The `skip`-th property of a type, in identifier order.
  CPropertyItem* Find(CTarnelDoc& doc, int type, int skip = 0) {
    for (uint32_t id = 1; id <= 2000; ++id)
      if (auto* p = AsProperty(doc.LookupRecord(id)); p && p->typeCode == type && skip-- == 0)
        return p;
    return nullptr;
  }
  CPropertyItem* Same(CTarnelDoc& doc, const CPropertyItem* p) {
    return AsProperty(doc.LookupRecord(p->id));
  }
};

TEST_F(Resync, TakesOverChangedValuesSilentlyAndLeavesStructureAndLinksAlone) {
  std::string structure = Structure(open);
  EXPECT_EQ(ResyncValues(open, fresh).changed, 0);

  CPropertyItem* i = Find(fresh, kTypeInt);
  CPropertyItem* f = Find(fresh, kTypeFloat);
  CPropertyItem* bin = Find(fresh, kTypeBin);
  CPropertyItem* file = Find(fresh, kTypeFile);
  CPropertyItem* link = Find(fresh, kTypeLinkTo);
  ASSERT_TRUE(i && f && bin && file && link);
  i->InitRawValue(i->GetRawValue() + 5);
  i->UpdateTextFromRaw("");
  f->InitRawValue(0x40490FDB);  // 3.1415927f
  f->UpdateTextFromRaw("");
  bin->valueText = "77";
  bin->InitRawValue(77);
  file->valueText = "other.xml";
  uint32_t linkRaw = Same(open, link)->GetRawValue();
  link->InitRawValue(Find(fresh, kTypeInt, 3)->id);
  link->valueText = std::to_string(link->GetRawValue());

  ValueResyncResult r = ResyncValues(open, fresh);
  EXPECT_EQ(r.changed, 4);
  EXPECT_EQ(r.unmatched, 0);
  EXPECT_EQ(Same(open, i)->GetRawValue(), i->GetRawValue());
  EXPECT_EQ(Same(open, i)->valueText, i->valueText);
  EXPECT_EQ(Same(open, f)->valueText, "3.142");
  EXPECT_EQ(Same(open, bin)->valueText, "77");
  EXPECT_EQ(Same(open, bin)->GetRawValue(), 77u);
  EXPECT_EQ(Same(open, file)->valueText, "other.xml");
  EXPECT_EQ(Same(open, link)->GetRawValue(), linkRaw);
  EXPECT_EQ(Structure(open), structure);
  EXPECT_EQ(sink.posted, 0);   // nothing would go out as message 203
  EXPECT_EQ(sink.changed, 4);  // but the views hear of each
  EXPECT_EQ(ResyncValues(open, fresh).changed, 0);
}

TEST_F(Resync, OnlyTheSamePropertyAtTheSamePlaceOfTheSameTypeCounts) {
  CPropertyItem* moved = Find(fresh, kTypeInt, 0);
  ASSERT_TRUE(moved);
  std::vector<CPropertyItem*> elsewhere;  // in other atoms than `moved`
  for (int n = 1; elsewhere.size() < 3; ++n) {
    CPropertyItem* p = Find(fresh, kTypeInt, n);
    ASSERT_TRUE(p);
    if (p->GetOwner() != moved->GetOwner()) elsewhere.push_back(p);
  }
  CPropertyItem *retyped = elsewhere[0], *gone = elsewhere[1], *kept = elsewhere[2];
  for (CPropertyItem* p : {moved, retyped, gone, kept}) p->InitRawValue(p->GetRawValue() + 1);
  moved->GetOwner()->name += "_renamed";  // its whole atom is elsewhere now
  int movedSiblings = moved->GetOwner()->GetPropertyCount();
  retyped->typeCode = kTypeFloat;
  uint32_t goneId = gone->id, keptRaw = kept->GetRawValue();
  fresh.RemoveRecord(gone);
  ASSERT_EQ(fresh.LookupRecord(goneId), nullptr);

  ValueResyncResult r = ResyncValues(open, fresh);
  EXPECT_EQ(r.changed, 1);
  EXPECT_EQ(r.unmatched, movedSiblings + 2);
  EXPECT_EQ(Same(open, kept)->GetRawValue(), keptRaw);
  EXPECT_NE(AsProperty(open.LookupRecord(goneId)), nullptr);
}

}  // namespace
