#include "sheet/xlsx_table_writer.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "model/cp1251.h"
#include "model/document.h"
#include "model/property_table.h"
#include "model/records.h"

namespace {

// libxlsxwriter writes only to a named file; the workbook is made in a private folder of its
// own and then moved into place whole.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kandrel-xlsx-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void Check(lxw_error error, const std::string& path) {
  if (error != LXW_NO_ERROR) throw XlsxWriteError(path + ": " + lxw_strerror(error));
}

}  // namespace

void WriteTableXlsx(const CTarnelDoc& doc, const std::vector<CPropertyItem*>& properties,
                    const std::string& path) {
  constexpr size_t kColumns = std::size(kFileColumns);
  if (properties.size() + 1 > LXW_ROW_MAX) throw XlsxWriteError(path + ": too many rows");
  ScratchFolder scratch;
  if (scratch.path().empty()) throw XlsxWriteError(path + ": no temporary folder to write in");
  const std::string file = scratch.path() + "/table.xlsx";
  lxw_workbook_options options = {};
  options.constant_memory = LXW_FALSE;
  options.tmpdir = const_cast<char*>(scratch.path().c_str());
  lxw_workbook* book = workbook_new_opt(file.c_str(), &options);
  if (!book) throw XlsxWriteError(path + ": the workbook could not be made");
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Properties");
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  lxw_format* text = workbook_add_format(book);
  format_set_num_format(text, "@");

  size_t widths[kColumns] = {};
  auto fail = [&](lxw_error e) {
    workbook_close(book);
    Check(e, path);
  };
  for (size_t k = 0; k < kColumns; ++k) {
    const char* key = TableColumnKey(kFileColumns[k]);
    widths[k] = std::strlen(key);
    if (lxw_error e = worksheet_write_string(sheet, 0, lxw_col_t(k), key, bold)) fail(e);
  }
  std::string cell;
  lxw_row_t row = 1;
  for (const CPropertyItem* p : properties) {
    for (size_t k = 0; k < kColumns; ++k) {
      const int column = kFileColumns[k];
      lxw_error e = LXW_NO_ERROR;
      if (column == kColumnId) {
        e = worksheet_write_number(sheet, row, lxw_col_t(k), double(p->id), nullptr);
        widths[k] = std::max<size_t>(widths[k], std::to_string(p->id).size());
      } else {
        TableCellText(doc, *p, column, &cell);
        std::string utf8 = Cp1251ToUtf8(cell);
        widths[k] = std::max(widths[k], cell.size());
        // An empty cell is left blank but keeps the text format, so what is typed there later
        // stays text too.
        e = utf8.empty() ? worksheet_write_blank(sheet, row, lxw_col_t(k), text)
                         : worksheet_write_string(sheet, row, lxw_col_t(k), utf8.c_str(), text);
      }
      if (e) fail(e);
    }
    ++row;
  }
  for (size_t k = 0; k < kColumns; ++k)
    worksheet_set_column(sheet, lxw_col_t(k), lxw_col_t(k),
                         double(std::clamp<size_t>(widths[k] + 2, 6, 60)), nullptr);
  worksheet_freeze_panes(sheet, 1, 0);
  worksheet_autofilter(sheet, 0, 0, row - 1, lxw_col_t(kColumns - 1));
  Check(workbook_close(book), path);
  WriteFileAtomically(path, ReadFileBytes(file));
}
