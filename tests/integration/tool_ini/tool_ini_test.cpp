// zendral-tool ini, run as a program on temporary files: output, exit status and the files it
// leaves.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/temporary_folder.h"

namespace {

using ToolRun = test_support::ProgramRun;
using test_support::readFile;

class ToolIni : public ::testing::Test {
 protected:
  std::string file(const std::string& name) const { return folder_.file(name).string(); }

  void write(const std::string& name, const std::string& bytes) const {
    folder_.write(name, bytes);
  }

  // Runs `zendral-tool ini ARGS...` in the temporary folder.
  ToolRun tool(std::vector<std::string> args) const {
    args.insert(args.begin(), {ZENDRAL_TOOL_PATH, "ini"});
    return test_support::runProgram(args, {.workingDirectory = folder_.path().string(),
                                           .environment = {{"ZENDRAL_TIME_SCALE", "0.01"}}});
  }

  test_support::TemporaryFolder folder_{"tool-ini"};
};

const char kSample[] =
    "; station settings\r\n\r\n"
    "[Platform]\r\n"
    "Type = 3\r\n"
    "Path = \"fw\\\\img\"\r\n"
    "Ratio = 0.25\r\n"
    "Backup = true\r\n"
    "Bad = 12abc\r\n"
    "Big = 4294967295\r\n"
    "[Dev1]\r\n"
    "diaport = 7\r\n";

TEST_F(ToolIni, GetPrintsEachTypeOrSaysWhyNot) {
  write("cfg.ini", kSample);
  auto expectOut = [&](std::vector<std::string> args, int status, const std::string& out) {
    ToolRun run = tool(args);
    EXPECT_EQ(run.status, status) << args[2];
    EXPECT_EQ(run.out, out) << args[2];
  };
  expectOut({"get", "cfg.ini", "platform", "PATH"}, 0, "fw\\img\n");
  expectOut({"get", "cfg.ini", "Platform", "Path", "--size", "3"}, 0, "fw\n");
  expectOut({"get", "cfg.ini", "Platform", "Type", "--as", "int"}, 0, "3\n");
  expectOut({"get", "cfg.ini", "Platform", "Big", "--as", "uint"}, 0, "4294967295\n");
  expectOut({"get", "cfg.ini", "Platform", "Ratio", "--as", "double"}, 0, "0.25\n");
  expectOut({"get", "cfg.ini", "Platform", "Backup", "--as", "bool"}, 0, "True\n");
  expectOut({"get", "cfg.ini", "Platform", "Missing"}, 1, "");
  expectOut({"get", "cfg.ini", "Nowhere", "Type", "--as", "int"}, 1, "");
  expectOut({"get", "cfg.ini", "Platform", "Bad", "--as", "int"}, 2, "error -5021\n");
  expectOut({"get", "cfg.ini", "Platform", "Big", "--as", "int"}, 2, "error -5021\n");
  expectOut({"get", "cfg.ini", "Platform", "Type", "--as", "bool"}, 2, "error -5024\n");
  expectOut({"get", "missing.ini", "Platform", "Type"}, 2, "error -5001\n");
  expectOut({"get", ".", "Platform", "Type"}, 2, "error -5001\n");
}

TEST_F(ToolIni, PutWritesTheFileBackAtomically) {
  ToolRun run = tool({"put", "new.ini", "Dev1", "diaport", "12", "--as", "int"});
  EXPECT_EQ(run.status, 0);
  run = tool({"put", "new.ini", "Dev1", "Note", "say \"hi\"\tnow"});
  EXPECT_EQ(run.status, 0);
  run = tool({"put", "new.ini", "dev1", "DIAPORT", "3x", "--as", "int"});
  EXPECT_EQ(run.out, "error -5021\n");
  EXPECT_EQ(readFile(file("new.ini")),
            "[Dev1]\r\ndiaport = 12\r\nNote = \"say \\\"hi\\\"\\tnow\"\r\n\r\n");
  EXPECT_EQ(tool({"get", "new.ini", "Dev1", "Note"}).out, "say \"hi\"\tnow\n");

  run = tool({"put", "new.ini", "Dev1", "diaport", "-0", "--as", "uint"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "error -5022\n");
  EXPECT_EQ(tool({"put", "new.ini", "S", "D", "1e999", "--as", "double"}).out, "error -5023\n");
  EXPECT_EQ(tool({"put", "new.ini", "S", "B", "yes", "--as", "bool"}).out, "error -5024\n");
  EXPECT_EQ(tool({"put", "new.ini", "S", "B", "  ", "--as", "int"}).out, "error -5021\n");
  EXPECT_EQ(tool({"put", "new.ini", "S", "B", "false", "--as", "bool"}).status, 0);
  EXPECT_EQ(tool({"get", "new.ini", "S", "B"}).out, "False\n");
  EXPECT_EQ(tool({"put", "new.ini", "S", "R", "0.1", "--as", "double"}).status, 0);
  EXPECT_EQ(tool({"get", "new.ini", "S", "R", "--as", "double"}).out, "0.10000000000000001\n");

  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    entries.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(entries, std::vector<std::string>{"new.ini"});  // no temporary file left behind
}

TEST_F(ToolIni, PutRefusesTargetsItCannotReplace) {
  std::filesystem::create_directory(file("dir.ini"));
  ToolRun run = tool({"put", "dir.ini", "S", "K", "v"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "error -5001\n");
  run = tool({"put", "no/such/folder.ini", "S", "K", "v"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "error -93\n");
}

TEST_F(ToolIni, DumpSectionsAndItems) {
  write("cfg.ini", std::string(kSample) + "[Dev1]\nextra=1\n; end");
  ToolRun run = tool({"dump", "cfg.ini"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string(kSample).replace(std::string(kSample).find("[Dev1]"), 0, "\r\n") +
                         "\r\n[Dev1]\r\nextra = 1\r\n\r\n; end\r\n");
  EXPECT_EQ(tool({"sections", "cfg.ini"}).out, "Platform\nDev1\nDev1\n");
  EXPECT_EQ(tool({"items", "cfg.ini", "platform"}).out, "Type\nPath\nRatio\nBackup\nBad\nBig\n");
  run = tool({"items", "cfg.ini", "Nowhere"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(tool({"dump", "missing.ini"}).out, "error -5001\n");
}

TEST_F(ToolIni, UsageErrors) {
  write("cfg.ini", kSample);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {"frobnicate", "cfg.ini"},
           {"get", "cfg.ini", "Platform"},
           {"get", "cfg.ini", "Platform", "Type", "--as", "float"},
           {"get", "cfg.ini", "Platform", "Type", "--size", "0"},
           {"get", "cfg.ini", "Platform", "Type", "--size", "12x"},
           {"get", "cfg.ini", "Platform", "Type", "--as"},
           {"put", "cfg.ini", "Platform", "Type"},
           {"dump", "cfg.ini", "extra"},
           {"items", "cfg.ini"},
       }) {
    ToolRun run = tool(args);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
    EXPECT_EQ(run.out, "") << testing::PrintToString(args);
    EXPECT_NE(run.err.find("usage"), std::string::npos) << testing::PrintToString(args);
  }
  // A value that starts with "--" is given after "--".
  EXPECT_EQ(tool({"put", "cfg.ini", "Platform", "Flag", "--", "--on"}).status, 0);
  EXPECT_EQ(tool({"get", "cfg.ini", "Platform", "Flag"}).out, "--on\n");
}

}  // namespace
