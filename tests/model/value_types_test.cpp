#include <gtest/gtest.h>

#include <cstring>

#include "model/archive.h"
#include "model/archive_format.h"
#include "model/records.h"
#include "model/value_types.h"

namespace {

uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

std::unique_ptr<CPropertyItem> Prop(int type, const char* text) {
  auto p = std::make_unique<CPropertyItem>(1);
  p->typeCode = uint8_t(type);
  p->valueText = text;
  return p;
}

// Writes one property and reads it back the way a file is read.
std::string ReadBack(int type, const char* text) {
  auto p = Prop(type, text);
  std::string bytes;
  ArchiveWriter w(&bytes);
  w.WriteObjectRef(p.get());
  ArchiveReader r(bytes.data(), bytes.size());
  auto back = r.ReadObjectRef(1u << archive::kClassProperty, 0);
  return static_cast<CPropertyItem*>(back.get())->valueText;
}

TEST(ValueTypesTest, NamesAndTags) {
  for (int code = 0; code < kTypeCount; ++code)
    EXPECT_EQ(TypeNameToCode(TypeCodeToName(code)), code);
  EXPECT_EQ(TypeNameToCode("int"), -1);  // names are exact
  for (int code : {9, 255, -1}) EXPECT_STREQ(TypeCodeToName(code), "UNKNOWN");
  // A tag that is not known, FILE's included, reads as BIN.
  EXPECT_EQ(TypeTagToCode("{link_to}"), kTypeLinkTo);
  EXPECT_EQ(TypeTagToCode("{file}"), kTypeBin);
  EXPECT_EQ(TypeTagToCode("{INT}"), kTypeBin);
}

TEST(ValueTypesTest, StandardNumberReaders) {
  EXPECT_EQ(AtoI("  -12abc"), -12);
  EXPECT_EQ(AtoI("+7"), 7);
  EXPECT_EQ(AtoI("abc"), 0);
  EXPECT_EQ(AtoI("99999999999"), 2147483647);
  EXPECT_EQ(AtoI("-99999999999"), -2147483647 - 1);
  EXPECT_DOUBLE_EQ(AtoF(" 1.5e2x"), 150.0);
  EXPECT_DOUBLE_EQ(AtoF("-.25"), -0.25);
  EXPECT_DOUBLE_EQ(AtoF("x1"), 0.0);
}

TEST(ValueTypesTest, RawFromTextCutsToTheTypeWidth) {
  struct Case {
    int type;
    const char* text;
    uint32_t raw;
  } cases[] = {
      {kTypeByte, "258", 2},
      {kTypeBin, "-1", 0xFF},
      {kTypeShort, "-5", 0xFFFB},
      {kTypeInt, "-5", 0xFFFFFFFB},
      {kTypeDateTime, "1700000000", 1700000000u},
      {kTypeLinkTo, "12", 12},
      {kTypeFloat, "letters", 0},
      {kTypeDouble, "1.5", FloatBits(1.5f)},
  };
  for (const Case& c : cases) {
    auto p = Prop(c.type, c.text);
    p->UpdateRawFromText();
    EXPECT_EQ(p->GetRawValue(), c.raw) << c.type << " " << c.text;
  }
  auto file = Prop(kTypeFile, "123");
  file->SetRawValue(77u);
  file->UpdateRawFromText();
  EXPECT_EQ(file->GetRawValue(), 77u);
}

TEST(ValueTypesTest, NumericValueScalesShortsByDecPoint) {
  CPropertyItem dp(2);
  dp.SetRawValue(5u);
  auto p = Prop(kTypeShort, "");
  p->decimalPoint = &dp;
  p->SetNumericValue(1.23);
  EXPECT_EQ(p->GetRawValue(), 123u);
  p->decimalPoint = nullptr;
  p->SetNumericValue(1.23);
  EXPECT_EQ(p->GetRawValue(), 1u);
  p->SetNumericValue(-2.0);
  EXPECT_EQ(p->GetRawValue(), 0xFFFFFFFEu);  // a typed SHORT keeps all 32 bits

  auto b = Prop(kTypeByte, "");
  b->SetNumericValue(300.4);
  EXPECT_EQ(b->GetRawValue(), 300u);  // not cut to 8 bits

  for (int type : {kTypeFloat, kTypeLinkTo, kTypeDouble, kTypeBin}) {
    auto f = Prop(type, "");
    f->SetNumericValue(2.0);
    EXPECT_EQ(f->GetRawValue(), FloatBits(2.0f)) << type;
  }
}

TEST(ValueTypesTest, TextFromRaw) {
  auto d = Prop(kTypeDouble, "");
  d->SetRawValue(FloatBits(1.5f));
  d->UpdateTextFromRaw("ignored");
  EXPECT_EQ(d->valueText, "1.500");
  auto s = Prop(kTypeShort, "");
  s->SetRawValue(0xFFFFFFFFu);
  s->UpdateTextFromRaw("ignored");
  EXPECT_EQ(s->valueText, "-1");
  auto f = Prop(kTypeFile, "");
  f->UpdateTextFromRaw("C:\\x");
  EXPECT_EQ(f->valueText, "C:\\x");
}

TEST(ValueTypesTest, SavedValuesReadBackAsTheirPatterns) {
  EXPECT_EQ(ReadBack(kTypeShort, "-5"), "65531");
  EXPECT_EQ(ReadBack(kTypeByte, "300"), "44");
  EXPECT_EQ(ReadBack(kTypeByte, "-1"), "255");
  EXPECT_EQ(ReadBack(kTypeInt, "-5"), "-5");
  EXPECT_EQ(ReadBack(kTypeFloat, "1.5"), "1.500");
  EXPECT_EQ(ReadBack(kTypeDouble, "1.5"), "1.500");
  EXPECT_EQ(ReadBack(kTypeBin, "300"), "300");
  EXPECT_EQ(ReadBack(kTypeLinkTo, "12 x"), "12 x");
  EXPECT_EQ(ReadBack(kTypeFile, "a\\b->txt"), "a\\b->txt");
  EXPECT_EQ(ReadBack(kTypeDateTime, "2024"), "2024");
}

}  // namespace
