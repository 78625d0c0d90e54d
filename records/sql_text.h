#pragma once
// Values written into SQL text. The database library runs statements as text, so every value
// from a module, a file name or the command line goes through these and nothing else.

#include <cstdint>
#include <optional>
#include <string>

namespace records {

// A quoted string literal: single quotes doubled, NUL bytes dropped and bytes that are not
// UTF-8 replaced by '?', so that no database refuses the statement for its encoding.
std::string sqlText(const std::string& value);
std::string sqlNumber(int64_t value);
// NULL for nullopt.
std::string sqlNumber(const std::optional<int64_t>& value);

}  // namespace records
