// Reading a statement's result into text, the form every read of the library hands back.
#pragma once

#include <string>
#include <vector>

#include "odbc.h"

namespace tobrin {

// Every remaining row of `statement`, every field as text (NULL as "").
std::vector<std::vector<std::string>> readRows(Statement& statement,
                                               const std::vector<Column>& columns);
// The field at `index` of every remaining row.
std::vector<std::string> readColumn(Statement& statement, const std::vector<Column>& columns,
                                    int index);

// The position of the column named `name`, matched without regard to case (PostgreSQL folds
// unquoted names to lower case); throws std::runtime_error naming `table` when there is none.
int columnIndex(const std::vector<Column>& columns, const std::string& name,
                const std::string& table);
// `index` when it is a position in `columns`; throws std::runtime_error otherwise.
int checkedIndex(const std::vector<Column>& columns, int index, const std::string& table);

// The SQLite driver reports its own bookkeeping tables (sqlite_sequence, ...) as tables.
bool isSqliteInternal(const std::string& tableName);

}  // namespace tobrin
