// Damaged and hostile .kdl input: every failure is one ArchiveError with an offset and a cause,
// and nothing else happens.
#include <gtest/gtest.h>

#include "model/archive.h"
#include "model/document.h"
#include "sample_base.h"

namespace {

class HostileArchiveTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CTarnelDoc doc;
    BuildSampleBase(doc, 300);
    file_ = new std::string(doc.SaveToBytes());
  }
  static void TearDownTestSuite() { delete file_; }

  // Reads `bytes`; returns the cause of the failure, or "" when the bytes were read.
  static std::string Failure(const std::string& bytes) {
    try {
      ArchiveReader r(bytes.data(), bytes.size());
      CTarnelDoc::ReadContents(r);
      return "";
    } catch (const ArchiveError& e) {
      EXPECT_LE(e.offset(), bytes.size());
      return e.cause();
    }
  }

  static std::string* file_;
};
std::string* HostileArchiveTest::file_ = nullptr;

// Header of a file with one list element: count 1, then the reference bytes that follow.
std::string OneGroup(const std::string& reference) {
  return std::string("\x01\x00", 2) + reference;
}

std::string NewClass(uint16_t schema, const std::string& name) {
  std::string b;
  ArchiveWriter w(&b);
  w.WriteWord(0xFFFF);
  w.WriteWord(schema);
  w.WriteWord(uint16_t(name.size()));
  return b + name;
}

std::string EmptyGroupFields() {
  return std::string("\x01g\x01\x00\x00\x00\x00\x00", 8);
}

TEST_F(HostileArchiveTest, EveryTruncationFailsCleanly) {
  ASSERT_EQ(Failure(*file_), "");
  for (size_t n = 1; n < file_->size(); ++n) {
    std::string cause = Failure(file_->substr(0, n));
    ASSERT_FALSE(cause.empty()) << "prefix of " << n << " bytes was accepted";
  }
}

TEST_F(HostileArchiveTest, EveryDamagedByteIsReadOrRefused) {
  // Whatever a changed byte does, the reader either reads a tree or reports the damage.
  for (size_t i = 0; i < file_->size(); ++i) {
    std::string damaged = *file_;
    damaged[i] = char(damaged[i] + 1);
    Failure(damaged);
    damaged[i] = char(0xFF);
    Failure(damaged);
  }
}

TEST_F(HostileArchiveTest, DamageIsNamed) {
  std::string deep =
      OneGroup(NewClass(1, "CBase") + std::string("\x01g\x01\x00\x00\x00\x01\x00", 8) +
               NewClass(1, "CObj") + std::string("\x01o\x02\x00\x00\x00\x01\x00", 8));
  for (int i = 0; i < 1200; ++i) deep += std::string("\x03\x80\x01o\x02\x00\x00\x00\x01\x00", 10);
  std::string twice = std::string("\x02\x00", 2) + NewClass(1, "CBase") + EmptyGroupFields() +
                      std::string("\x02\x00", 2) + "\x01\x00";

  struct Case {
    const char* what;
    std::string bytes;
    const char* cause;
  } cases[] = {
      {"unknown class", OneGroup(NewClass(1, "CFoo")), "unknown class 'CFoo'"},
      {"long class name", OneGroup(NewClass(1, std::string(64, 'C'))), "class name of 64"},
      {"wrong schema", OneGroup(NewClass(2, "CBase")), "schema 2"},
      {"wrong link schema", OneGroup(NewClass(5, "CIncomingLink")), "schema 5"},
      {"object not read", OneGroup(std::string("\x05\x00", 2)), "not yet read"},
      {"class not read", OneGroup(std::string("\x09\x80", 2)), "class 9 not yet read"},
      {"big class not read", OneGroup(std::string("\xFF\x7F\x09\x00\x00\x80", 6)), "class 9"},
      {"record twice", twice, "appears twice"},
      {"object among groups", OneGroup(NewClass(1, "CObj")), "cannot stand"},
      {"huge list", std::string("\xFF\xFF\xFF\xFF\xFF\x7F", 6), "longer than the data left"},
      {"huge string", OneGroup(NewClass(1, "CBase") + "\xFF\xFF\xFF\xFF\xFF\xFF\x7F"),
       "longer than"},
      {"deep nesting", deep, "nested deeper"},
      {"missing last id", std::string("\x00\x00", 2), "end of data"},
  };
  for (const Case& c : cases) {
    std::string cause = Failure(c.bytes);
    EXPECT_NE(cause.find(c.cause), std::string::npos) << c.what << ": " << cause;
  }
}

TEST_F(HostileArchiveTest, FailedOpenLeavesTheDocumentAsItWas) {
  std::string path = ::testing::TempDir() + "damaged.kdl";
  std::string good = ::testing::TempDir() + "good.kdl";
  {
    CTarnelDoc doc;
    doc.OnNewDocument();
    doc.NewObject(doc.Groups().At(0))->name = "Kept";
    doc.SaveFile(good);
    WriteFileAtomically(path, file_->substr(0, file_->size() / 2));
  }
  CTarnelDoc doc;
  doc.OpenFile(good);
  std::string before = doc.SaveToBytes();
  try {
    doc.OpenFile(path);
    FAIL() << "a damaged file opened";
  } catch (const DocumentFileError& e) {
    std::string message = e.what();
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find("at byte"), std::string::npos) << message;
  }
  EXPECT_EQ(doc.SaveToBytes(), before);
  EXPECT_EQ(doc.LookupRecord(4)->name, "Kept");
  EXPECT_THROW(doc.OpenFile(::testing::TempDir() + "no-such-file.kdl"), DocumentFileError);
  EXPECT_EQ(doc.SaveToBytes(), before);
}

}  // namespace
