// Reading tables as spreadsheets write them, and what the reader refuses: a table of inputs,
// each with the cells it must give or the line its error must name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/csv_format.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows CellsOf(const CsvTable& t) {
  Rows rows;
  for (int r = 0; r < t.RowCount(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < t.CellCount(r); ++c) rows.back().emplace_back(t.Cell(r, c));
  }
  return rows;
}

struct ReadCase {
  const char* name;
  std::string bytes;
  Rows cells;  // windows-1251
  char separator;
  CsvEncoding encoding;
};

TEST(CsvReadTest, Cases) {
  const ReadCase cases[] = {
      {"comma, LF",
       "path,value\n/a,1\n",
       {{"path", "value"}, {"/a", "1"}},
       ',',
       CsvEncoding::kUtf8},
      {"semicolon, CRLF, mark",
       "\xEF\xBB\xBFpath;value\r\n/a;1,5\r\n",
       {{"path", "value"}, {"/a", "1,5"}},
       ';',
       CsvEncoding::kUtf8Bom},
      {"tab, no line end at the end",
       "path\tvalue\n/a\t2",
       {{"path", "value"}, {"/a", "2"}},
       '\t',
       CsvEncoding::kUtf8},
      {"UTF-8 Cyrillic becomes windows-1251",
       "p\n\xD0\x94\xD0\xB0\n",
       {{"p"}, {"\xC4\xE0"}},
       ',',
       CsvEncoding::kUtf8},
      {"Cyrillic outside the alphabet's run, quoted and not",
       "p\n\xD1\x91\xD0\x81,\"\xD2\x90;\xD1\x8F\"\n",
       {{"p"}, {"\xB8\xA8", "\xA5;\xFF"}},
       ',',
       CsvEncoding::kUtf8},
      {"long cells: Cyrillic past eight bytes of ASCII, before a separator, at the very end",
       "path,value\n/Hardware/\xD0\x94\xD0\xB0/AI_6,12345678901\nabcdefgh\xD0\x94,\xD0\x94",
       {{"path", "value"}, {"/Hardware/\xC4\xE0/AI_6", "12345678901"}, {"abcdefgh\xC4", "\xC4"}},
       ',',
       CsvEncoding::kUtf8},
      {"control characters and a tab inside fields of a comma table",
       "a,b\n0123\x01"
       "456\x0B"
       "789,\tpadpadpad\n",
       {{"a", "b"},
        {"0123\x01"
         "456\x0B"
         "789",
         "\tpadpadpad"}},
       ',',
       CsvEncoding::kUtf8},
      {"windows-1251 found late: the rows before it are read again as such",
       "p,q\n\xD0\x94\xD0\xB0,x\n\xC4\xE0,y\n",
       {{"p", "q"}, {"\xD0\x94\xD0\xB0", "x"}, {"\xC4\xE0", "y"}},
       ',',
       CsvEncoding::kCp1251},
      {"windows-1251 stays as it is",
       "p\n\xC4\xE0\n",
       {{"p"}, {"\xC4\xE0"}},
       ',',
       CsvEncoding::kCp1251},
      {"quotes with separators, quotes and line ends inside",
       "a,b\n\"x,y\",\"say \"\"hi\"\"\"\n\"two\r\nlines\",\"\"\n",
       {{"a", "b"}, {"x,y", "say \"hi\""}, {"two\r\nlines", ""}},
       ',',
       CsvEncoding::kUtf8},
      {"empty fields and a separator at the end",
       "a,b,c\n,,\nx,\n",
       {{"a", "b", "c"}, {"", "", ""}, {"x", ""}},
       ',',
       CsvEncoding::kUtf8},
      {"short row and empty lines skipped",
       "a;b\n\n\r\nx\n",
       {{"a", "b"}, {"x"}},
       ';',
       CsvEncoding::kUtf8},
      {"lone CR ends lines", "a\rb\r", {{"a"}, {"b"}}, ',', CsvEncoding::kUtf8},
      {"quote inside an unquoted field is kept",
       "a\n5\"x\n",
       {{"a"}, {"5\"x"}},
       ',',
       CsvEncoding::kUtf8},
      {"separator inside quotes in the header is not counted",
       "\"a;b;c\",d\n",
       {{"a;b;c", "d"}},
       ',',
       CsvEncoding::kUtf8},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    CsvTable t = ReadCsv(c.bytes);
    EXPECT_EQ(CellsOf(t), c.cells);
    EXPECT_EQ(t.separator, c.separator);
    EXPECT_EQ(t.encoding, c.encoding);
  }
}

TEST(CsvReadTest, LinesAndUnencodableCells) {
  CsvTable t = ReadCsv(
      "a,b\n\"1\n2\",x\n\n3,\xE2\x82\xAC ok\n4,\xF0\x9F\x98\x80\n5,\xD0\x94\xD0\x80\xD0\x94\n");
  ASSERT_EQ(t.RowCount(), 5);
  EXPECT_EQ(t.Line(1), 2);
  EXPECT_EQ(t.Line(2), 5);              // the quoted line end and the empty line count
  EXPECT_EQ(t.UnencodableCell(2), -1);  // the euro sign is in windows-1251
  EXPECT_EQ(t.Cell(2, 1), "\x88 ok");
  EXPECT_EQ(t.UnencodableCell(3), 1);  // an emoji is not
  EXPECT_EQ(t.UnencodableCell(4), 1);  // nor is every Cyrillic letter
  EXPECT_EQ(t.Cell(4, 1), "\xC4?\xC4");
  EXPECT_EQ(t.Cell(3, 7), "");  // past the end of the row
}

TEST(CsvReadTest, RefusedInputNamesTheLine) {
  struct Bad {
    const char* name;
    std::string bytes;
    int line;
  };
  const Bad cases[] = {
      {"quote left open", "a\nb\n\"open\nstill\n", 3},
      {"text after a closing quote", "a\n\"x\"y\n", 2},
      {"zero byte", std::string("a\nb\nc\0d\n", 9), 3},
      {"binary garbage", std::string("\x7F\x45\x4C\x46\x02\x01\x01\x00\x00", 9), 1},
      {"mark but not UTF-8",
       "\xEF\xBB\xBF"
       "a\nb\n\xFF\n",
       3},
      {"huge unquoted field", "a\n" + std::string(kMaxCsvFieldBytes + 1, 'x'), 2},
      {"huge quoted field", "a\n\"" + std::string(kMaxCsvFieldBytes + 1, 'x') + "\"", 2},
      {"too many fields", "a\n" + std::string(kMaxCsvFields + 5, ','), 2},
  };
  for (const Bad& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      ReadCsv(c.bytes);
      ADD_FAILURE() << "read";
    } catch (const CsvError& e) {
      EXPECT_EQ(e.line, c.line) << e.what();
    }
  }
}

TEST(CsvWriteTest, QuotesOnlyWhatNeedsIt) {
  std::string out;
  CsvStyle style{';', false, true};
  AppendCsvRow(&out, {"plain", "a;b", "say \"x\"", "two\nlines", "\xC4\xE0", "0.000", "\"\xC4\""},
               style);
  EXPECT_EQ(out,
            "plain;\"a;b\";\"say "
            "\"\"x\"\"\";\"two\nlines\";\xD0\x94\xD0\xB0;0.000;\"\"\"\xD0\x94\"\"\"\r\n");
  // What is written reads back as it was.
  CsvTable t = ReadCsv(out);
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(t.Cell(0, 2), "say \"x\"");
  EXPECT_EQ(t.Cell(0, 3), "two\nlines");
  EXPECT_EQ(t.Cell(0, 4), "\xC4\xE0");
  EXPECT_EQ(t.Cell(0, 6), "\"\xC4\"");
}

}  // namespace
