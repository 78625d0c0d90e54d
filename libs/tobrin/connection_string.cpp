#include "connection_string.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>
#include <vector>

namespace tobrin {
namespace {

// The driver waits out a lock once more after its time-out runs out, so a writer waits two to
// three times this long before it gives up.
constexpr const char* kNoCreate = "NoCreat=1";
constexpr const char* kBusyTimeout = "Timeout=3000";

struct Attribute {
  std::string key;  // lower case, trimmed
  std::string value;
};

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A value from `at` up to the next ';': braced ({...}, "}}" for a brace) as ODBC writes it,
// quoted ("..." or '...', the quote doubled inside) as the provider form writes it, or plain.
std::string readValue(const std::string& text, size_t& at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  if (at < text.size() && (text[at] == '{' || text[at] == '"' || text[at] == '\'')) {
    const char close = text[at] == '{' ? '}' : text[at];
    std::string value;
    for (++at; at < text.size(); ++at) {
      if (text[at] != close) {
        value += text[at];
      } else if (at + 1 < text.size() && text[at + 1] == close) {
        value += close;
        ++at;
      } else {
        ++at;
        break;
      }
    }
    at = std::min(text.find(';', at), text.size());
    return value;
  }
  const size_t end = std::min(text.find(';', at), text.size());
  std::string value = trimmed(text.substr(at, end - at));
  at = end;
  return value;
}

std::vector<Attribute> parse(const std::string& text) {
  std::vector<Attribute> attributes;
  size_t at = 0;
  while (at < text.size()) {
    const size_t equals = text.find('=', at);
    const size_t semicolon = text.find(';', at);
    if (equals == std::string::npos || semicolon < equals) {
      if (semicolon == std::string::npos) break;
      at = semicolon + 1;
      continue;
    }
    Attribute attribute{lower(trimmed(text.substr(at, equals - at))), ""};
    at = equals + 1;
    attribute.value = readValue(text, at);
    attributes.push_back(std::move(attribute));
    if (at < text.size()) ++at;
  }
  return attributes;
}

std::optional<std::string> find(const std::vector<Attribute>& attributes, const std::string& key) {
  for (const auto& attribute : attributes) {
    if (attribute.key == key) return attribute.value;
  }
  return std::nullopt;
}

// The SQLite driver reads its Database value up to the next ';' and takes no braces; a path with
// a ';' in it goes as a file: URI, which the driver opens with the separator percent-encoded.
std::string sqliteDatabaseValue(const std::string& path) {
  if (path.find(';') == std::string::npos) return path;
  std::string uri = "file:";
  for (char c : path) {
    switch (c) {
      case ';':
        uri += "%3B";
        break;
      case '%':
        uri += "%25";
        break;
      case '?':
        uri += "%3F";
        break;
      case '#':
        uri += "%23";
        break;
      default:
        uri += c;
    }
  }
  return uri;
}

}  // namespace

std::string sqliteConnectionString(const std::string& path) {
  return "Driver=SQLite3;Database=" + sqliteDatabaseValue(path) + ";" + kNoCreate + ";" +
         kBusyTimeout;
}

std::optional<std::string> sqliteFilePath(const std::string& odbc) {
  const auto attributes = parse(odbc);
  const auto driver = find(attributes, "driver");
  if (!driver || lower(*driver).find("sqlite") == std::string::npos) return std::nullopt;
  const auto path = find(attributes, "database");
  if (!path || path->empty() || path->rfind("file:", 0) == 0) return std::nullopt;
  return path;
}

std::string odbcConnectionString(const std::string& given) {
  const auto attributes = parse(given);
  if (find(attributes, "provider")) {
    const auto path = find(attributes, "data source");
    if (!path || path->empty()) {
      throw std::runtime_error("the connection string names no Data Source: " + given);
    }
    return sqliteConnectionString(*path);
  }
  const auto driver = find(attributes, "driver");
  if (!driver || lower(*driver).find("sqlite") == std::string::npos) return given;

  std::string result = trimmed(given);
  if (!result.empty() && result.back() != ';') result += ';';
  if (!find(attributes, "nocreat")) result += std::string(kNoCreate) + ";";
  if (!find(attributes, "timeout")) result += std::string(kBusyTimeout) + ";";
  return result;
}

}  // namespace tobrin
