#include <gtest/gtest.h>

#include "model/archive.h"
#include "model/document.h"
#include "model/id_map.h"

namespace {

TEST(IdMapTest, LookupTakesTheLowSixteenBits) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  EXPECT_EQ(doc.LookupRecord(65537), doc.Groups().At(0));
  EXPECT_EQ(doc.LookupRecord(4), nullptr);
}

TEST(IdMapTest, NumberingGoesOnAfterReopen) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CDocumentRestore(doc).Ids().SetLastId(57);
  std::string bytes = doc.SaveToBytes();
  CTarnelDoc back;
  ArchiveReader r(bytes.data(), bytes.size());
  back.TakeContents(CTarnelDoc::ReadContents(r));
  EXPECT_EQ(back.Ids().GetLastId(), 57);
  EXPECT_EQ(back.NewObject(back.Groups().At(1))->id, 58u);
}

TEST(IdMapTest, NewIdSkipsTakenNumbersAndWraps) {
  CIdMap map;
  CObj a(0), b(0), c(0), d(0);
  map.SetAt(5, &a);  // entered under its own number, lastId stays
  map.SetLastId(4);
  EXPECT_EQ(map.NewId(&b), 6);
  map.SetLastId(65535);
  map.SetAt(1, &c);
  EXPECT_EQ(map.NewId(&d), 2);  // wraps past 65535 and skips 1
}

TEST(IdMapTest, FullRegistryGivesZeroAndCreatesNothing) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CRecord* parent = doc.Groups().At(0);
  while (doc.Ids().Count() < 0xFFFF) ASSERT_NE(doc.NewObject(parent), nullptr);
  int children = static_cast<CBase*>(parent)->GetChildCount();
  EXPECT_EQ(doc.NewObject(parent), nullptr);
  EXPECT_EQ(doc.NewGroup(), nullptr);
  EXPECT_EQ(static_cast<CBase*>(parent)->GetChildCount(), children);
  EXPECT_EQ(doc.Groups().Count(), 3);
  // Freeing one number makes room again, and that number is the one handed out.
  CRecord* victim = static_cast<CBase*>(parent)->GetChild(100);
  uint32_t freed = victim->id;
  doc.RemoveRecord(victim);
  CObj* again = doc.NewObject(parent);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->id, freed);
}

TEST(IdMapTest, DestroyedRecordsLeaveTheRegistry) {
  CTarnelDoc doc;
  doc.OnNewDocument();
  CObj* o = doc.NewObject(doc.Groups().At(0));
  CAtom* a = doc.NewAtom(o);
  CPropertyItem* p = doc.NewProperty(a);
  uint32_t ids[] = {o->id, a->id, p->id};
  doc.RemoveRecord(o);
  for (uint32_t id : ids) EXPECT_EQ(doc.LookupRecord(id), nullptr) << id;

  doc.NewObject(doc.Groups().At(1));
  doc.DeleteAllGroups();
  for (uint32_t id = 1; id < 10; ++id) EXPECT_EQ(doc.LookupRecord(id), nullptr) << id;
  doc.DeleteContents();
  EXPECT_EQ(doc.Ids().GetLastId(), 0);
}

TEST(IdMapTest, ReRegisteringUnderANewNumberDropsTheOldEntry) {
  CIdMap map;
  CObj a(0);
  map.SetAt(7, &a);
  map.SetAt(9, &a);
  EXPECT_EQ(map.Lookup(7), nullptr);
  EXPECT_EQ(map.Lookup(9), &a);
  EXPECT_EQ(map.Count(), 1);
}

}  // namespace
