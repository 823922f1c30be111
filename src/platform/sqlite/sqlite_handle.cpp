#include "platform/sqlite/sqlite_handle.h"

#include <limits>

namespace bb::sqlite {

namespace {

int LengthOf(std::string_view text) {
  // SQLite refuses texts above its own limit anyway; a size beyond an int is
  // bound as an empty text rather than cut to a wrong length.
  return text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())
             ? 0
             : static_cast<int>(text.size());
}

}  // namespace

Database Open(const std::string& path, int flags, std::string& why) {
  sqlite3* raw = nullptr;
  const int status = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Database db(raw);
  if (status != SQLITE_OK) {
    why = db ? LastError(db.get()) : sqlite3_errstr(status);
    return nullptr;
  }
  sqlite3_extended_result_codes(db.get(), 1);
  return db;
}

bool Execute(sqlite3* db, const char* sql, std::string& why) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  why = message != nullptr ? message : LastError(db);
  sqlite3_free(message);
  return false;
}

std::string LastError(sqlite3* db) { return sqlite3_errmsg(db); }

Statement::Statement(sqlite3* db, std::string_view sql) {
  if (sqlite3_prepare_v2(db, sql.data(), LengthOf(sql), &statement_, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
  }
}

void Statement::BindText(int index, std::string_view text) {
  sqlite3_bind_text(statement_, index, text.data(), LengthOf(text), SQLITE_TRANSIENT);
}

void Statement::BindTextOrNull(int index, std::string_view text) {
  if (text.empty()) {
    BindNull(index);
  } else {
    BindText(index, text);
  }
}

void Statement::BindInt(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }

void Statement::BindNull(int index) { sqlite3_bind_null(statement_, index); }

int Statement::Step() { return statement_ == nullptr ? SQLITE_MISUSE : sqlite3_step(statement_); }

void Statement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

std::string Statement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  const int length = sqlite3_column_bytes(statement_, column);
  if (text == nullptr || length <= 0) return {};
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

}  // namespace bb::sqlite
