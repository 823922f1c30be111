#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace bb::sqlite {

struct CloseDatabase {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

// Opens the database file at `path` (UTF-8) with SQLite's open flags; null,
// with SQLite's reason in `why`, when it cannot be opened.
Database Open(const std::string& path, int flags, std::string& why);

// Runs SQL that this program wrote itself, never text from elsewhere: that
// goes through a Statement's bound parameters.
bool Execute(sqlite3* db, const char* sql, std::string& why);

// One prepared statement, finalized when it goes. Parameters count from 1,
// columns from 0. Every text is bound, never pasted into the SQL.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Prepared() const { return statement_ != nullptr; }

  void BindText(int index, std::string_view text);
  // An empty text is bound as NULL: none.
  void BindTextOrNull(int index, std::string_view text);
  void BindInt(int index, std::int64_t value);
  void BindNull(int index);

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  // Ready to run again, its parameters unbound.
  void Reset();

  bool IsNull(int column) const;
  std::string Text(int column) const;
  std::int64_t Int(int column) const;

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// The reason SQLite gives for the last failure on `db`.
std::string LastError(sqlite3* db);

}  // namespace bb::sqlite
