#include "postgres_database.h"

#include <memory>

namespace tobrin_test {

test_pg::PostgresCluster& postgresCluster() {
  static test_pg::PostgresCluster cluster(TOBRIN_PG_TEMPLATE);
  return cluster;
}

PostgresDatabase::PostgresDatabase() {
  static int count = 0;
  name_ = "test_" + std::to_string(++count);
  TobrinPtr admin = makeTobrin();
  admin->Open(postgresCluster().connectionString("postgres"));
  admin->ExecuteStatement("CREATE DATABASE " + name_);
}

std::string PostgresDatabase::connectionString() const {
  return postgresCluster().connectionString(name_);
}

}  // namespace tobrin_test
