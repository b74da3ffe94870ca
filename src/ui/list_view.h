// A list in report style: column headers with widths, and rows of texts in which the first text
// is the item and the others its sub-items.
#pragma once

#include <string>
#include <vector>

#include "ui/control.h"

namespace nd::ui {

struct ListColumn {
  std::string header;
  int width = 0;  // twips
  bool operator==(const ListColumn&) const = default;
};

class ListView : public Control {
 public:
  using Control::Control;

  void AddColumn(std::string header, int width);
  const std::vector<ListColumn>& Columns() const { return columns_; }
  // Does nothing for a column that does not exist.
  void SetColumnWidth(int column, int width);

  // Removes the rows; the columns stay.
  void Clear();
  // Returns the new row's number. A row always has at least its item text.
  int AddRow(std::vector<std::string> texts);
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // Empty for a row that does not exist.
  const std::vector<std::string>& Row(int row) const;
  // Empty for a cell that does not exist.
  const std::string& Text(int row, int column) const;
  // Sets one cell of an existing row, adding empty sub-items before it where needed.
  void SetText(int row, int column, std::string text);

  // Takes over the columns; rows are filled at run time and are not copied.
  void CopyPropertiesFrom(const ListView& design);

 private:
  std::vector<ListColumn> columns_;
  std::vector<std::vector<std::string>> rows_;
};

}  // namespace nd::ui
