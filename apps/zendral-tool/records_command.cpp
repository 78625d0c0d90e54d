// zendral-tool records: the runs the stations recorded, read from the records' database that
// cfg.ini in the working directory names ([Record] Database; records.db here by default).
//
//   records [--database CONN] list [FILTERS]            one line per run
//   records [--database CONN] show ID                   one run in full, with its images
//   records [--database CONN] export --csv FILE [FILTERS]
//
// FILTERS: --imei N, --since DATE, --until DATE (YYYY-MM-DD or "YYYY-MM-DD HH:MM[:SS]", UTC),
// --result pass|fail, --station S.
// Exit status: 0 done, 1 the database or the run cannot be read, 2 usage error.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "apps/zendral-tool/subcommands.h"
#include "ini/inifile.h"
#include "records/record_database.h"
#include "records/record_filter.h"
#include "records/record_report.h"
#include "records/recorder.h"

namespace {

struct Arguments {
  std::optional<std::string> database;
  std::string action;
  std::vector<std::string> positional;
  records::RecordFilter filter;
  std::string csvFile;
};

int usage(const std::string& problem = "") {
  if (!problem.empty()) std::fprintf(stderr, "zendral-tool records: %s\n", problem.c_str());
  std::fprintf(stderr,
               "usage: zendral-tool records [--database CONN] list [FILTERS] | show ID | "
               "export --csv FILE [FILTERS]\n"
               "FILTERS: --imei N --since DATE --until DATE --result pass|fail --station S\n");
  return 2;
}

// Reads one option with its value; false (with `problem` set) for a bad one.
bool readOption(const std::string& name, const std::string& value, Arguments& args,
                std::string& problem) {
  if (name == "--imei") {
    args.filter.imei = value;
  } else if (name == "--station") {
    args.filter.station = value;
  } else if (name == "--result") {
    if (value != "pass" && value != "fail") problem = "--result takes pass or fail";
    args.filter.result = value;
  } else if (name == "--since" || name == "--until") {
    const auto bound = records::boundTime(value, name == "--until");
    if (!bound) problem = name + " takes YYYY-MM-DD or \"YYYY-MM-DD HH:MM[:SS]\": " + value;
    (name == "--since" ? args.filter.since : args.filter.until) = bound.value_or("");
  } else if (name == "--csv") {
    args.csvFile = value;
  } else if (name == "--database") {
    args.database = value;
  } else {
    problem = "unknown option " + name;
  }
  return problem.empty();
}

std::optional<Arguments> parse(int argc, char** argv, std::string& problem) {
  Arguments args;
  for (int i = 0; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.rfind("--", 0) == 0) {
      if (i + 1 >= argc) {
        problem = word + " needs a value";
        return std::nullopt;
      }
      if (!readOption(word, argv[++i], args, problem)) return std::nullopt;
    } else if (args.action.empty()) {
      args.action = word;
    } else {
      args.positional.push_back(word);
    }
  }
  return args;
}

// The configured database: --database, else cfg.ini's [Record] Database, else records.db.
std::optional<std::string> databaseOf(const Arguments& args) {
  std::string configured;
  if (args.database) {
    configured = *args.database;
  } else if (IniDocument* cfg = Ini_New(0)) {
    Ini_ReadFromFile(cfg, "cfg.ini");
    std::vector<char> buffer(4096, '\0');
    if (Ini_GetStringIntoBuffer(cfg, "Record", "Database", buffer.data(), buffer.size()) == 1) {
      configured = buffer.data();
    }
    Ini_Dispose(cfg);
  }
  std::error_code error;
  const auto settings =
      records::recordSettings(configured, "-", std::filesystem::current_path(error).string());
  if (!settings) return std::nullopt;
  return settings->connection;
}

int run(const Arguments& args, records::RecordDatabase& db) {
  if (args.action == "list") {
    std::fputs(records::listText(db.find(args.filter)).c_str(), stdout);
    return 0;
  }
  if (args.action == "show") {
    char* end = nullptr;
    const long long id = std::strtoll(args.positional[0].c_str(), &end, 10);
    if (*end != '\0' || args.positional[0].empty()) return usage("ID is a number");
    const auto found = db.findById(id);
    if (!found) {
      std::fprintf(stderr, "zendral-tool records: no run %lld\n", id);
      return 1;
    }
    std::fputs(records::showText(*found).c_str(), stdout);
    return 0;
  }
  const auto runs = db.find(args.filter, true);
  std::ofstream out(args.csvFile, std::ios::binary | std::ios::trunc);
  out << records::csvText(runs);
  out.close();
  if (!out) {
    std::fprintf(stderr, "zendral-tool records: cannot write %s\n", args.csvFile.c_str());
    return 1;
  }
  std::printf("%zu runs written to %s\n", runs.size(), args.csvFile.c_str());
  return 0;
}

}  // namespace

int runRecordsCommand(int argc, char** argv) {
  std::string problem;
  const auto args = parse(argc, argv, problem);
  if (!args) return usage(problem);
  const bool known =
      (args->action == "list" && args->positional.empty()) ||
      (args->action == "show" && args->positional.size() == 1) ||
      (args->action == "export" && args->positional.empty() && !args->csvFile.empty());
  if (!known) return usage();
  const auto database = databaseOf(*args);
  if (!database) {
    std::fprintf(stderr, "zendral-tool records: recording is off ([Record] Database = off)\n");
    return 1;
  }
  try {
    records::RecordDatabase db(*database);
    if (records::schemaVersion(db.tobrin()) == 0) {
      std::fprintf(stderr, "zendral-tool records: the database holds no records yet\n");
      return 1;
    }
    return run(*args, db);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zendral-tool records: %s\n", error.what());
    return 1;
  }
}
