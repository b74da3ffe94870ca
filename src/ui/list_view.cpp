#include "ui/list_view.h"

#include <utility>

namespace nd::ui {
namespace {

const std::vector<std::string> kNoRow;
const std::string kNoText;

}  // namespace

void ListView::AddColumn(std::string header, int width) {
  columns_.push_back({std::move(header), width});
  Notify(Property::kColumns);
}

void ListView::SetColumnWidth(int column, int width) {
  if (column < 0 || column >= static_cast<int>(columns_.size())) return;
  if (columns_[column].width == width) return;
  columns_[column].width = width;
  Notify(Property::kColumns);
}

void ListView::Clear() {
  if (rows_.empty()) return;
  rows_.clear();
  Notify(Property::kRows);
}

int ListView::AddRow(std::vector<std::string> texts) {
  if (texts.empty()) texts.emplace_back();
  rows_.push_back(std::move(texts));
  Notify(Property::kRows);
  return RowCount() - 1;
}

const std::vector<std::string>& ListView::Row(int row) const {
  return row >= 0 && row < RowCount() ? rows_[row] : kNoRow;
}

const std::string& ListView::Text(int row, int column) const {
  const std::vector<std::string>& texts = Row(row);
  return column >= 0 && column < static_cast<int>(texts.size()) ? texts[column] : kNoText;
}

void ListView::SetText(int row, int column, std::string text) {
  if (row < 0 || row >= RowCount() || column < 0) return;
  std::vector<std::string>& texts = rows_[row];
  if (column < static_cast<int>(texts.size()) && texts[column] == text) return;
  if (column >= static_cast<int>(texts.size())) texts.resize(column + 1);
  texts[column] = std::move(text);
  Notify(Property::kRows);
}

void ListView::CopyPropertiesFrom(const ListView& design) {
  Control::CopyPropertiesFrom(design);
  columns_ = design.columns_;
}

}  // namespace nd::ui
