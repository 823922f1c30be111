#pragma once

#include <sqlite3.h>

#include <string>

namespace bb::sqlite {

// The schema version this program writes, kept in PRAGMA user_version.
inline constexpr int kSchemaVersion = 2;

// The database's schema version; -1 with `why` when it cannot be read.
int SchemaVersion(sqlite3* db, std::string& why);

// Brings a database of an earlier version (0: a new, empty one) to
// kSchemaVersion in one transaction, step by step, keeping every row. Two
// programs that open one new database at once migrate it once: the version is
// read again inside the transaction. Returns the version the database has
// after it: higher than kSchemaVersion when a newer program got there first;
// -1 with `why` when the migration failed and changed nothing.
int Migrate(sqlite3* db, std::string& why);

}  // namespace bb::sqlite
