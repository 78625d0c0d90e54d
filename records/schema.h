#pragma once
// The records' schema, made and moved forward by the station itself: a `schema_version` table
// lists every version applied, and each step below it runs once, in order. Steps only add, and
// are written so that a step two stations run at the same moment leaves one result.

#include "zendral/tobrin.h"

namespace records {

enum class Dialect { Sqlite, Postgres };

inline constexpr int kSchemaVersion = 2;

// Which database `db` is connected to.
Dialect detectDialect(ITobrin& db);

// The highest version applied, 0 for a database without the records' tables.
int schemaVersion(ITobrin& db);

// Applies every step after the database's version; returns the version it is at now (higher
// than kSchemaVersion when a newer station made it, which this one leaves alone). Throws
// std::runtime_error when a step fails.
int migrateSchema(ITobrin& db, Dialect dialect);

}  // namespace records
