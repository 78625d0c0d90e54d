// zendral-tool ini: reads and changes INI files through the station's INI store.
//
//   ini get FILE SECTION ITEM [--as TYPE] [--size N]   print a value
//   ini put FILE SECTION ITEM VALUE [--as TYPE]        store a value and write FILE back
//   ini dump FILE                                      the file as the store writes it
//   ini sections FILE                                  section names, one per line
//   ini items FILE SECTION                             item names of a section, one per line
//
// Exit status: 0 done, 1 section or item absent, 2 usage error or `error <code>` printed.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "apps/zendral-tool/subcommands.h"
#include "ini/inifile.h"
#include "ini/values.h"

namespace {

enum class ValueType { kString, kInt, kUInt, kDouble, kBool };

constexpr size_t kDefaultBufferSize = 65536;
constexpr unsigned long long kMaxBufferSize = 1ull << 31;

struct Arguments {
  std::string action;
  std::vector<std::string> positional;
  ValueType type = ValueType::kString;
  size_t bufferSize = kDefaultBufferSize;
  bool typeGiven = false;
  bool sizeGiven = false;
};

int usage() {
  std::fprintf(stderr,
               "usage: zendral-tool ini get FILE SECTION ITEM [--as string|int|uint|double|bool] "
               "[--size N] | put FILE SECTION ITEM VALUE [--as TYPE] | dump FILE | sections FILE "
               "| items FILE SECTION\n");
  return 2;
}

int printError(int code) {
  std::printf("error %d\n", code);
  return 2;
}

bool parseType(std::string_view text, ValueType* type) {
  static const std::pair<std::string_view, ValueType> kTypes[] = {
      {"string", ValueType::kString}, {"int", ValueType::kInt},   {"uint", ValueType::kUInt},
      {"double", ValueType::kDouble}, {"bool", ValueType::kBool},
  };
  for (const auto& [name, value] : kTypes) {
    if (text == name) {
      *type = value;
      return true;
    }
  }
  return false;
}

bool parseSize(const std::string& text, size_t* size) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || value < 1 || value > kMaxBufferSize) return false;
  *size = static_cast<size_t>(value);
  return true;
}

// Options may appear anywhere after the action; "--" ends them, so a value may start with "--".
bool parseArguments(int argc, char** argv, Arguments* args) {
  if (argc < 1) return false;
  args->action = argv[0];
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (optionsEnded || !arg.starts_with("--")) {
      args->positional.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--as" && i + 1 < argc && !args->typeGiven) {
      if (!parseType(argv[++i], &args->type)) return false;
      args->typeGiven = true;
    } else if (arg == "--size" && i + 1 < argc && !args->sizeGiven) {
      if (!parseSize(argv[++i], &args->bufferSize)) return false;
      args->sizeGiven = true;
    } else {
      return false;
    }
  }
  return true;
}

// Reads FILE into a new document; a missing file gives an empty document when allowed.
int readDocument(const std::string& path, bool missingIsEmpty, IniDocumentPtr* doc) {
  doc->reset(Ini_New(0));
  if (!*doc) return kIniOutOfMemory;
  struct stat info;
  if (missingIsEmpty && ::stat(path.c_str(), &info) != 0 && errno == ENOENT) return 0;
  return Ini_ReadFromFile(doc->get(), path.c_str());
}

// Prints one typed value; returns the getter's result.
int printValue(IniDocument* doc, const char* section, const char* item, const Arguments& args) {
  int result = 0;
  switch (args.type) {
    case ValueType::kString: {
      std::unique_ptr<char[]> buffer(new (std::nothrow) char[args.bufferSize]);
      if (!buffer) return kIniOutOfMemory;
      result = Ini_GetStringIntoBuffer(doc, section, item, buffer.get(), args.bufferSize);
      if (result == 1) std::printf("%s\n", buffer.get());
      break;
    }
    case ValueType::kInt: {
      int32_t value = 0;
      result = Ini_GetInt(doc, section, item, &value);
      if (result == 1) std::printf("%d\n", value);
      break;
    }
    case ValueType::kUInt: {
      uint32_t value = 0;
      result = Ini_GetUInt(doc, section, item, &value);
      if (result == 1) std::printf("%u\n", value);
      break;
    }
    case ValueType::kDouble: {
      double value = 0;
      result = Ini_GetDouble(doc, section, item, &value);
      if (result == 1) std::printf("%.17g\n", value);
      break;
    }
    case ValueType::kBool: {
      int value = 0;
      result = Ini_GetBoolean(doc, section, item, &value);
      if (result == 1) std::printf("%s\n", value ? "True" : "False");
      break;
    }
  }
  return result;
}

int runGet(const Arguments& args) {
  if (args.positional.size() != 3) return usage();
  IniDocumentPtr doc;
  int result = readDocument(args.positional[0], false, &doc);
  if (result < 0) return printError(result);
  result = printValue(doc.get(), args.positional[1].c_str(), args.positional[2].c_str(), args);
  if (result < 0) return printError(result);
  return result == 1 ? 0 : 1;
}

// Parses VALUE exactly as the matching getter would and stores it with the matching put.
int putValue(IniDocument* doc, const char* section, const char* item, const std::string& text,
             ValueType type) {
  switch (type) {
    case ValueType::kString:
      return Ini_PutString(doc, section, item, text.c_str());
    case ValueType::kInt: {
      int32_t value = 0;
      int parsed = ini::parseInt(text, &value);
      if (parsed != 1) return parsed < 0 ? parsed : kIniInvalidInt;
      return Ini_PutInt(doc, section, item, value);
    }
    case ValueType::kUInt: {
      uint32_t value = 0;
      int parsed = ini::parseUInt(text, &value);
      if (parsed != 1) return parsed < 0 ? parsed : kIniInvalidUInt;
      return Ini_PutUInt(doc, section, item, value);
    }
    case ValueType::kDouble: {
      double value = 0;
      int parsed = ini::parseDouble(text, &value);
      if (parsed != 1) return parsed < 0 ? parsed : kIniInvalidDouble;
      return Ini_PutDouble(doc, section, item, value);
    }
    case ValueType::kBool: {
      int value = 0;
      int parsed = ini::parseBoolean(text, &value);
      if (parsed != 1) return parsed < 0 ? parsed : kIniInvalidBoolean;
      return Ini_PutBoolean(doc, section, item, value);
    }
  }
  return kIniNullArgument;
}

int runPut(const Arguments& args) {
  if (args.positional.size() != 4 || args.sizeGiven) return usage();
  const std::string& path = args.positional[0];
  IniDocumentPtr doc;
  int result = readDocument(path, true, &doc);
  if (result < 0) return printError(result);
  result = putValue(doc.get(), args.positional[1].c_str(), args.positional[2].c_str(),
                    args.positional[3], args.type);
  if (result < 0) return printError(result);
  result = Ini_WriteToFile(doc.get(), path.c_str());
  if (result < 0) return printError(result);
  return 0;
}

int runDump(const Arguments& args) {
  if (args.positional.size() != 1 || args.typeGiven || args.sizeGiven) return usage();
  IniDocumentPtr doc;
  int result = readDocument(args.positional[0], false, &doc);
  if (result < 0) return printError(result);
  result = Ini_WriteToFile(doc.get(), nullptr);
  return result < 0 ? 2 : 0;
}

int runSections(const Arguments& args) {
  if (args.positional.size() != 1 || args.typeGiven || args.sizeGiven) return usage();
  IniDocumentPtr doc;
  int result = readDocument(args.positional[0], false, &doc);
  if (result < 0) return printError(result);
  int count = Ini_NumberOfSections(doc.get());
  const char* name = nullptr;
  for (int n = 1; n <= count && Ini_NthSectionName(doc.get(), n, &name) == 1; ++n) {
    std::printf("%s\n", name);
  }
  return 0;
}

int runItems(const Arguments& args) {
  if (args.positional.size() != 2 || args.typeGiven || args.sizeGiven) return usage();
  IniDocumentPtr doc;
  int result = readDocument(args.positional[0], false, &doc);
  if (result < 0) return printError(result);
  const char* section = args.positional[1].c_str();
  if (Ini_SectionExists(doc.get(), section) != 1) return 1;
  int count = Ini_NumberOfItems(doc.get(), section);
  const char* name = nullptr;
  for (int n = 1; n <= count && Ini_NthItemName(doc.get(), section, n, &name) == 1; ++n) {
    std::printf("%s\n", name);
  }
  return 0;
}

}  // namespace

int runIniCommand(int argc, char** argv) {
  Arguments args;
  if (!parseArguments(argc, argv, &args)) return usage();
  if (args.action == "get") return runGet(args);
  if (args.action == "put") return runPut(args);
  if (args.action == "dump") return runDump(args);
  if (args.action == "sections") return runSections(args);
  if (args.action == "items") return runItems(args);
  return usage();
}
