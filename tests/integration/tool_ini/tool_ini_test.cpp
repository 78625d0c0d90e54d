// zendral-tool ini, run as a program on temporary files: output, exit status and the files it
// leaves.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ToolIni : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tool-ini-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ::setenv("ZENDRAL_TIME_SCALE", "0.01", 1);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string file(const std::string& name) const { return folder_ + "/" + name; }

  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
  }

  // Runs `zendral-tool ini ARGS...` in the temporary folder.
  ToolRun tool(std::vector<std::string> args) const {
    args.insert(args.begin(), {ZENDRAL_TOOL_PATH, "ini"});
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string outPath = file(".stdout");
    std::string errPath = file(".stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());
    ToolRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      ::waitpid(pid, &status, 0);
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return run;
  }

  std::string folder_;
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
  EXPECT_EQ(readAll(file("new.ini")),
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
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
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
