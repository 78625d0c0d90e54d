#include "result_text.h"

#include <strings.h>

#include <stdexcept>

namespace tobrin {

std::vector<std::vector<std::string>> readRows(Statement& statement,
                                               const std::vector<Column>& columns) {
  std::vector<std::vector<std::string>> rows;
  if (columns.empty()) return rows;  // a statement without a result, such as an UPDATE
  while (statement.fetch()) {
    std::vector<std::string>& row = rows.emplace_back();
    row.reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
      row.push_back(statement.text(static_cast<int>(i), columns[i].sqlType).value_or(""));
    }
  }
  return rows;
}

std::vector<std::string> readColumn(Statement& statement, const std::vector<Column>& columns,
                                    int index) {
  std::vector<std::string> values;
  while (statement.fetch()) {
    values.push_back(statement.text(index, columns[index].sqlType).value_or(""));
  }
  return values;
}

int columnIndex(const std::vector<Column>& columns, const std::string& name,
                const std::string& table) {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (strcasecmp(columns[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
  }
  throw std::runtime_error("table " + table + " has no column named " + name);
}

int checkedIndex(const std::vector<Column>& columns, int index, const std::string& table) {
  if (index >= 0 && static_cast<size_t>(index) < columns.size()) return index;
  throw std::runtime_error("table " + table + " has no column at position " +
                           std::to_string(index) + " (it has " + std::to_string(columns.size()) +
                           ")");
}

bool isSqliteInternal(const std::string& tableName) {
  return strncasecmp(tableName.c_str(), "sqlite_", 7) == 0;
}

}  // namespace tobrin
