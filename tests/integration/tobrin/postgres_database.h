#pragma once
// Databases on one throwaway PostgreSQL cluster per test program: the cluster starts with the
// first database asked for and stops when the program ends; each test gets a fresh database.

#include <string>

#include "database_under_test.h"
#include "support_pg/postgres_cluster.h"

namespace tobrin_test {

class PostgresDatabase : public DatabaseUnderTest {
 public:
  PostgresDatabase();
  std::string connectionString() const override;

 private:
  std::string name_;
};

// The cluster of this program, started on first use.
test_pg::PostgresCluster& postgresCluster();

}  // namespace tobrin_test
