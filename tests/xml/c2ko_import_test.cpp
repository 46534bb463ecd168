// The c2ko text import: tokens, lines, nesting by indentation, property lines, failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "model/value_types.h"
#include "xml/c2ko_import.h"
#include "xml/input_file.h"
#include "xml_test_util.h"

namespace {

std::vector<std::string> Tokens(std::string_view line) {
  std::vector<std::string> out;
  C2koTokenReader r(line);
  std::string_view t;
  while (r.Next(&t)) out.emplace_back(t);
  return out;
}

using V = std::vector<std::string>;

// A whole property line: name, flags, type tag, count and values.
std::string PropertyLine(const std::string& name, const char* flags, const char* tag, int count,
                         const std::string& values) {
  return "P}{" + name + "}{-}" + flags + "{-}" + tag + "{-}{" + std::to_string(count) + "}{-}{-}" +
         values;
}
const char kFlags[] = "{1}{0}{0}{0}{0}{1}";

// The subtree as "name[children]".
std::string Shape(const CRecord* r) {
  std::string inner;
  if (auto* h = dynamic_cast<const CChildHolder*>(r))
    for (CRecord* c : h->children) inner += Shape(c);
  if (auto* a = dynamic_cast<const CAtom*>(r))
    for (CPropertyItem* p : a->properties) inner += Shape(p);
  return r->name + (inner.empty() ? " " : "[" + inner + "] ");
}

class C2koTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc.OnNewDocument();
    group = doc.Groups().At(0);
    object = AddObject(doc, group, "T");
  }
  std::string Fail(std::string_view text, CRecord* target) {
    try {
      ImportC2koText(doc, text, target);
    } catch (const C2koImportError& e) {
      return e.what();
    }
    return "succeeded";
  }
  CTarnelDoc doc;
  CBase* group = nullptr;
  CObj* object = nullptr;
};

TEST_F(C2koTest, TokenReader) {
  EXPECT_EQ(Tokens("O}{Name}"), (V{"O}", "{Name}"}));
  EXPECT_EQ(Tokens("   O}{A b}{}"), (V{"   O}", "{A b}", "{}"}));
  EXPECT_EQ(Tokens("{open"), V{});
  EXPECT_EQ(Tokens("}x{y}"), (V{"}x{", "y}"}));
  EXPECT_EQ(Tokens("{a}tail"), (V{"{a}"}));
  EXPECT_EQ(Tokens("{a}{{b}}"), (V{"{a}", "{{b}"}));
  EXPECT_EQ(Tokens(""), V{});
}

TEST_F(C2koTest, IndentationGivesTheNesting) {
  // Every top-level object stays, after what the target held, in the file's order.
  ImportC2koText(doc, "O}{A}\n O}{B}\n O}{B2}\nO}{C}\n   O}{D}\n  O}{E}\n", group);
  // D opens level 4 right under C; E at level 3 becomes D's sibling.
  EXPECT_EQ(Shape(group), "Hardware[T A[B B2 ] C[D E ] ] ");
}

TEST_F(C2koTest, AtomsAndPropertiesFollowTheLastLines) {
  std::string text = "O}{Dev}\n A}{AI}\n" + PropertyLine("Speed", kFlags, "{int}", 2, "{a}{b}") +
                     "\n" + PropertyLine("Link", "{0}{0}{0}{0}{0}{0}", "{link_to}", 1, "{7}") +
                     "\n" + PropertyLine("Raw", kFlags, "{file}", 0, "") + "\n O}{Sub}\nA}{AO}\n";
  C2koImportStats stats = ImportC2koText(doc, text, object);
  EXPECT_EQ(stats.objects, 2);
  EXPECT_EQ(stats.atoms, 2);
  EXPECT_EQ(stats.properties, 3);
  EXPECT_EQ(Shape(object), "T[Dev[AI[Speed Link Raw ] Sub[AO ] ] ] ");
  auto* ai = static_cast<CAtom*>(static_cast<CObj*>(object->GetChild(0))->GetChild(0));
  CPropertyItem* speed = ai->GetProperty(0);
  EXPECT_EQ(speed->flags, 0x21);
  EXPECT_EQ(speed->typeCode, kTypeInt);
  EXPECT_EQ(speed->valueText, "a\r\nb");
  EXPECT_EQ(ai->GetProperty(1)->typeCode, kTypeLinkTo);
  EXPECT_EQ(ai->GetProperty(1)->valueText, "7");
  EXPECT_EQ(ai->GetProperty(2)->typeCode, kTypeBin);  // no tag for FILE
  EXPECT_EQ(ai->GetProperty(2)->valueText, "");
  // Fresh identifiers, registered.
  EXPECT_EQ(doc.LookupRecord(speed->id), speed);
  EXPECT_GT(speed->id, object->id);
}

TEST_F(C2koTest, ShortPropertyLinesKeepThePreviousToken) {
  ImportC2koText(doc, "O}{o}\nA}{a}\nP}{OnlyName}\n", group);
  CPropertyItem* p =
      static_cast<CAtom*>(static_cast<CObj*>(group->children.At(1))->GetChild(0))->GetProperty(0);
  EXPECT_EQ(p->name, "OnlyName");
  EXPECT_EQ(p->flags, 0);
  EXPECT_EQ(p->typeCode, 0);
  EXPECT_EQ(p->valueText, "");
}

TEST_F(C2koTest, FailuresKeepWhatWasMade) {
  // No object line: the atoms and properties made under an object target stay.
  std::string noObjects = "A}{a}\n" + PropertyLine("p", kFlags, "{int}", 1, "{1}") + "\n";
  EXPECT_EQ(Fail(noObjects, object), "the file holds no object line");
  EXPECT_EQ(Shape(object), "T[a[p ] ] ");

  EXPECT_EQ(Fail("P}{early}\nO}{o}\n", group),
            "line 1: a property line needs an atom line before it");
  EXPECT_EQ(Fail("\nA}{a}\n", group), "line 2: an atom line needs an object line before it");
  EXPECT_EQ(Fail("", group), "the file holds no object line");
  EXPECT_EQ(Fail("O}{o}\nA}{a}\n" + PropertyLine("p", kFlags, "{int}", 1000000000, "{x}"), group),
            "line 3: the property line announces 1000000000 value lines but holds 1");
  // Made before the failure: the object and atom of the last case, shown nowhere else.
  EXPECT_EQ(Shape(group), "Hardware[T[a[p ] ] o[a[p ] ] ] ");
  EXPECT_EQ(Fail("O}{x}", nullptr), "a c2ko file is imported under a group or an object");
  CAtom* atom = AddAtom(doc, object, "at");
  EXPECT_NE(Fail("O}{x}", atom), "succeeded");
}

TEST_F(C2koTest, DeepIndentationIsBounded) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += std::string(size_t(i), ' ') + "O}{d}\n";
  std::string what = Fail(text, group);
  EXPECT_NE(what.find("objects nested deeper than 997 levels"), std::string::npos) << what;
  // Many blanks on a first line still make one level.
  ImportC2koText(doc, std::string(5000, ' ') + "O}{far}\n", object);
  EXPECT_EQ(object->GetChild(0)->name, "far");
}

TEST_F(C2koTest, Files) {
  TempDir dir;
  WriteAll(dir.Path("in.c2ko"), "O}{fromfile}\r\n");
  ImportC2koFile(doc, dir.Path("in.c2ko"), group);
  EXPECT_EQ(group->children.At(1)->name, "fromfile");
  try {
    ImportC2koFile(doc, dir.Path("none.c2ko"), group);
    FAIL();
  } catch (const C2koImportError& e) {
    EXPECT_TRUE(e.fileNotFound);
  }
  try {
    ImportC2koFile(doc, dir.Path(""), group);
    FAIL();
  } catch (const C2koImportError& e) {
    EXPECT_FALSE(e.fileNotFound);
  }
}

TEST(InputFileTest, SizeLimitAndKindsOfFailure) {
  TempDir dir;
  WriteAll(dir.Path("f"), std::string(200000, 'x'));
  InputFile ok = ReadInputFile(dir.Path("f"), 200000);
  EXPECT_TRUE(ok.ok);
  EXPECT_EQ(ok.bytes.size(), 200000u);
  InputFile big = ReadInputFile(dir.Path("f"), 199999);
  EXPECT_FALSE(big.ok);
  EXPECT_TRUE(big.bytes.empty());
  EXPECT_NE(big.cause.find("larger than"), std::string::npos);
  EXPECT_TRUE(ReadInputFile(dir.Path("none"), 10).notFound);
  InputFile folder = ReadInputFile(dir.Path(""), 10);
  EXPECT_FALSE(folder.ok);
  EXPECT_FALSE(folder.notFound);
  // A FIFO nobody writes to and an endless device are refused, not waited on or read.
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0644), 0);
  for (const std::string& odd : {dir.Path("fifo"), std::string("/dev/zero")}) {
    InputFile f = ReadInputFile(odd, 1 << 20);
    EXPECT_FALSE(f.ok) << odd;
    EXPECT_EQ(f.cause, "is not a regular file") << odd;
  }
}

}  // namespace
