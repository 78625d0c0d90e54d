#pragma once
// Typed values in INI text: the conversions of the typed getters and puts, and the escaping of
// string values. Public so that tools parse a value exactly as the getters would.

#include <cstdint>
#include <string>
#include <string_view>

namespace ini {

// Each parser returns 1 and sets *value when `text` is valid, 0 when `text` is empty or only
// white space (such a value counts as absent), or the store's negative code for invalid text.
int parseInt(std::string_view text, int32_t* value);    // kIniInvalidInt
int parseUInt(std::string_view text, uint32_t* value);  // kIniInvalidUInt
int parseDouble(std::string_view text, double* value);  // kIniInvalidDouble
int parseBoolean(std::string_view text, int* value);    // kIniInvalidBoolean

std::string formatInt(int32_t value);    // "%ld"
std::string formatUInt(uint32_t value);  // "%lu"
std::string formatDouble(double value);  // "%.16g", independent of the process locale
std::string formatBoolean(int value);    // "True" or "False"

// Control characters, double quotes and backslashes become backslash sequences; every other
// byte is kept, so UTF-8 text passes unchanged.
std::string escapeString(std::string_view text);
// The reverse: \n \r \t, \xHH, and a backslash before any other character gives that character.
void unescapeString(std::string_view text, std::string* out);

}  // namespace ini
