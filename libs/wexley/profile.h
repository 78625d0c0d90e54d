// The profile service: five calls that read or write one INI file at once, with the buffer and
// result conventions that the object's operations rely on.
//
// Reads fill a caller's buffer of `size` characters. A list is a run of NUL-terminated strings
// followed by one more NUL; when it does not fit, the last string that fits is cut, two NULs end
// the buffer and the result is size - 2. A single string that does not fit is cut and the result
// is size - 1. Otherwise the result is the number of characters stored before the final NUL. A
// missing or unreadable file reads as an empty one.
//
// Writes return true on success. A write that changes nothing leaves the file as it is (and
// creates none). A write that would produce lines that do not read back as written is refused:
// names or values holding a line break or a NUL, empty section names, and keys that are empty,
// hold '=' or start with '[' or ';'. An existing file that cannot be read is never overwritten.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wexley::profile {

// Every section name in file order (a section with an empty name is not listed: its empty string
// would end the list).
uint32_t readSectionNames(char* buffer, uint32_t size, const std::string& path);

// The section's entries in file order, each as "key=value" without the blanks around key and
// value (quotes kept), or the bare key of a line without '='. Comments and blank lines are left
// out.
uint32_t readSection(std::string_view section, char* buffer, uint32_t size,
                     const std::string& path);

// With a key: the key's value with one pair of matching surrounding quotes (" or ') removed, or
// `fallback` (without its trailing blanks) when the section or the key is missing. Without a
// key: the list of the section's keys (keys with an empty name are not listed).
uint32_t readString(std::string_view section, std::optional<std::string_view> key,
                    std::string_view fallback, char* buffer, uint32_t size,
                    const std::string& path);

// With a key and a value: sets the value. Without a value: deletes the key. Without a key:
// deletes the section with all its lines.
bool writeString(std::string_view section, std::optional<std::string_view> key,
                 std::optional<std::string_view> value, const std::string& path);

// Replaces the section's entries with `content`: NUL-terminated "key=value" strings ending with
// an empty one. A missing section is created, even for empty content. Without content: empties
// an existing section and keeps its header.
bool writeSection(std::string_view section, const char* content, const std::string& path);

}  // namespace wexley::profile
