#include "support_pg/postgres_cluster.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace test_pg {
namespace {

constexpr int kInitdbSeconds = 120;
constexpr int kStartSeconds = 60;
constexpr int kStopSeconds = 30;
constexpr const char* kSuperuser = "zendral";

// Who the server's programs run as: the `postgres` system user when we are root (initdb and
// the server refuse root), otherwise ourselves.
struct Account {
  bool switchUser = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

Account serverAccount() {
  if (geteuid() != 0) return {};
  const passwd* user = getpwnam("postgres");
  if (!user) throw std::runtime_error("running as root needs the `postgres` system user");
  return {true, user->pw_uid, user->pw_gid};
}

// Starts `argv` with its output appended to `logPath`, in `folder`, as `account`. With
// `dieWithParent` the kernel sends SIGQUIT (PostgreSQL's immediate shutdown) when we end.
pid_t launch(const std::vector<std::string>& argv, const std::string& logPath,
             const std::string& folder, const Account& account, bool dieWithParent) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (log < 0) throw std::runtime_error("cannot write " + logPath);
  if (account.switchUser && fchown(log, account.uid, account.gid) != 0) {
    close(log);
    throw std::runtime_error("cannot hand " + logPath + " to the postgres user");
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    const int null = open("/dev/null", O_RDONLY);
    if (null < 0 || dup2(null, 0) < 0 || dup2(log, 1) < 0 || dup2(log, 2) < 0) _exit(126);
    if (chdir(folder.c_str()) != 0) _exit(126);
    if (account.switchUser) {
      if (setgroups(0, nullptr) != 0 || setgid(account.gid) != 0 || setuid(account.uid) != 0) {
        _exit(126);
      }
    }
    if (dieWithParent && (prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || getppid() != parent)) {
      _exit(126);
    }
    execv(args[0], args.data());
    _exit(127);
  }
  close(log);
  if (pid < 0) throw std::runtime_error("cannot start " + argv[0]);
  return pid;
}

// The exit status of `pid` once it has ended, or nullopt when it is still running after
// `seconds`.
std::optional<int> waitFor(pid_t pid, int seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// Gives `folder` and everything in it to the server's account.
void handOver(const std::string& folder, const Account& account) {
  if (lchown(folder.c_str(), account.uid, account.gid) != 0) {
    throw std::runtime_error("cannot hand " + folder + " to the postgres user");
  }
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (lchown(entry.path().c_str(), account.uid, account.gid) != 0) {
      throw std::runtime_error("cannot hand " + entry.path().string() + " to the postgres user");
    }
  }
}

std::string tail(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}

std::string commandOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

// Makes the cluster `data` with initdb from `bin`, its log in `folder`.
void runInitdb(const std::string& bin, const std::string& folder, const std::string& data,
               const Account& account) {
  const std::string log = folder + "/initdb.log";
  const pid_t pid = launch({bin + "/initdb", "-D", data, "-U", kSuperuser, "-A", "trust", "-E",
                            "UTF8", "--locale=C", "--no-sync"},
                           log, folder, account, true);
  const auto status = waitFor(pid, kInitdbSeconds);
  if (!status) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    throw std::runtime_error("initdb did not finish within " + std::to_string(kInitdbSeconds) +
                             " s:\n" + tail(log));
  }
  if (*status != 0) {
    throw std::runtime_error("initdb failed with status " + std::to_string(*status) + ":\n" +
                             tail(log));
  }
}

}  // namespace

std::string postgresBinFolder() {
  const std::string configured = commandOutput("pg_config --bindir 2>/dev/null");
  if (!configured.empty() && fs::exists(configured + "/initdb")) return configured;
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
    if (fs::exists(entry.path() / "bin/initdb")) found.push_back((entry.path() / "bin").string());
  }
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;  // "9" before "15"
  });
  return found.empty() ? "" : found.back();
}

PostgresCluster::PostgresCluster(const std::string& templateFolder) : bin_(postgresBinFolder()) {
  if (bin_.empty()) throw std::runtime_error("PostgreSQL is not installed (no initdb found)");
  char folder[] = "/tmp/zpg-XXXXXX";  // short: a socket path must stay under 108 bytes
  if (!mkdtemp(folder)) throw std::runtime_error("cannot make a folder under /tmp");
  folder_ = folder;
  port_ = 20000 + getpid() % 30000;
  try {
    initialise(templateFolder);
    startServer();
    waitUntilReady();
  } catch (...) {
    stop();
    throw;
  }
}

PostgresCluster::~PostgresCluster() {
  stop();
}

// A fresh cluster is a copy of the template when there is one; otherwise initdb makes it and,
// with a template folder given, it becomes the template (renamed into place whole, so a
// concurrent test sees either no template or a complete one).
void PostgresCluster::initialise(const std::string& templateOption) {
  // One template per server version: a cluster only runs on the version that made it.
  const std::string templateFolder =
      templateOption.empty()
          ? ""
          : templateOption + "-" + fs::path(bin_).parent_path().filename().string();
  const Account account = serverAccount();
  if (account.switchUser && chown(folder_.c_str(), account.uid, account.gid) != 0) {
    throw std::runtime_error("cannot hand " + folder_ + " to the postgres user");
  }
  const std::string data = folder_ + "/data";
  std::error_code error;
  if (!templateFolder.empty() && fs::exists(templateFolder + "/PG_VERSION", error)) {
    fs::copy(templateFolder, data, fs::copy_options::recursive);
    fs::permissions(data, fs::perms::owner_all);
    if (account.switchUser) handOver(data, account);
    return;
  }
  runInitdb(bin_, folder_, data, account);
  if (templateFolder.empty()) return;
  const std::string partial = templateFolder + ".partial-" + std::to_string(getpid());
  fs::remove_all(partial, error);
  fs::copy(data, partial, fs::copy_options::recursive, error);
  if (error || (fs::rename(partial, templateFolder, error), error)) fs::remove_all(partial, error);
}

void PostgresCluster::startServer() {
  server_ =
      launch({bin_ + "/postgres", "-D", folder_ + "/data", "-k", folder_, "-p",
              std::to_string(port_), "-c", "listen_addresses=", "-c", "fsync=off", "-c",
              "synchronous_commit=off", "-c", "full_page_writes=off", "-c", "max_connections=30"},
             folder_ + "/server.log", folder_, serverAccount(), true);
}

// Ready once the server has written "ready" as the status line of its postmaster.pid.
void PostgresCluster::waitUntilReady() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
  const std::string pidFile = folder_ + "/data/postmaster.pid";
  for (;;) {
    std::ifstream in(pidFile);
    std::string line, last;
    while (std::getline(in, line)) {
      if (!line.empty()) last = line;
    }
    if (last.find("ready") != std::string::npos) return;
    if (const auto status = waitFor(server_, 0)) {
      server_ = -1;
      throw std::runtime_error("the PostgreSQL server ended with status " +
                               std::to_string(*status) + ":\n" + tail(folder_ + "/server.log"));
    }
    if (std::chrono::steady_clock::now() > deadline) {
      throw std::runtime_error("the PostgreSQL server was not ready within " +
                               std::to_string(kStartSeconds) + " s:\n" +
                               tail(folder_ + "/server.log"));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string PostgresCluster::connectionString(const std::string& database) const {
  return "Driver={PostgreSQL Unicode};Servername=" + folder_ + ";Port=" + std::to_string(port_) +
         ";Database=" + database + ";Uid=" + kSuperuser + ";Pwd=;";
}

void PostgresCluster::pause() {
  stopServer();
}

void PostgresCluster::resume() {
  if (server_ > 0 || folder_.empty()) return;
  // A status file left by the stopped server would read as ready before the new one is.
  std::error_code ignored;
  fs::remove(folder_ + "/data/postmaster.pid", ignored);
  startServer();
  waitUntilReady();
}

void PostgresCluster::stopServer() {
  if (server_ > 0) {
    kill(server_, SIGQUIT);
    if (!waitFor(server_, kStopSeconds)) {
      kill(server_, SIGKILL);
      waitpid(server_, nullptr, 0);
    }
    server_ = -1;
  }
}

void PostgresCluster::stop() {
  stopServer();  // immediate shutdown: the cluster is thrown away, nothing to save
  if (!folder_.empty()) {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    folder_.clear();
  }
}

}  // namespace test_pg
