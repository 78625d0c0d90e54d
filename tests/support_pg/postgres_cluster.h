#pragma once
// A throwaway PostgreSQL server for tests: a fresh cluster in a short private folder under
// /tmp, reached only through its Unix socket on a private port, with fsync off. The server runs
// as a child of the test process and is told to quit when that process ends, however it ends,
// so no test leaves a server running. Every wait is bounded and a failure says what went wrong.
//
//   test_pg::PostgresCluster cluster;            // throws std::runtime_error when it cannot start
//   open(cluster.connectionString("postgres"));  // ODBC, PostgreSQL Unicode driver
//   cluster.stop();                              // or let the destructor do it

#include <sys/types.h>

#include <string>

namespace test_pg {

class PostgresCluster {
 public:
  // Makes a new cluster and starts its server; as root both run as the `postgres` system user.
  // With `templateFolder` (a path in the build folder, say), the first cluster made by initdb is
  // kept there and later ones are copies of it, which is much quicker.
  explicit PostgresCluster(const std::string& templateFolder = "");
  ~PostgresCluster();
  PostgresCluster(const PostgresCluster&) = delete;
  PostgresCluster& operator=(const PostgresCluster&) = delete;

  // An ODBC connection string to `database` as the cluster's superuser.
  std::string connectionString(const std::string& database = "postgres") const;
  const std::string& socketFolder() const { return folder_; }
  int port() const { return port_; }

  // Stops the server (immediate shutdown, killed after a bound) and removes its folder. Safe to
  // call more than once.
  void stop();

  // An outage: the server stops (immediate shutdown) and keeps its data; resume starts it again
  // on the same socket and waits until it is ready.
  void pause();
  void resume();

 private:
  void initialise(const std::string& templateFolder);
  void startServer();
  void waitUntilReady();
  void stopServer();

  std::string bin_;
  std::string folder_;
  int port_ = 0;
  pid_t server_ = -1;
};

// The folder that holds initdb and postgres: `pg_config --bindir`, else the newest
// /usr/lib/postgresql/*/bin; empty when PostgreSQL is not installed.
std::string postgresBinFolder();

}  // namespace test_pg
