#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/line_store.h"

namespace bb::pg {

struct ClearResult {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

// A parameter of a statement: text, or NULL.
using Param = std::optional<std::string>;

// What a statement gave: the rows of its result, or why it failed and how.
struct Answer {
  LineAnswer kind = LineAnswer::kTaken;
  Result result;
  std::string why;
  bool Ok() const { return kind == LineAnswer::kTaken; }
};

// One connection to the server, every wait of it bounded by `timeoutMs`:
// libpq's own connect_timeout rounds to whole seconds and a statement time-out
// needs a server that runs, so a server that accepts and then answers nothing
// (hung, stopped) is caught here, on the client's side, and the connection is
// dropped.
class Connection {
 public:
  Connection(std::string conninfo, std::uint32_t timeoutMs);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Connects when not connected. Anything but kTaken tells why.
  Answer Open();
  // Runs `sql`, whose text is this program's own; everything else goes in
  // `params`, as bound parameters.
  Answer Run(const char* sql, const std::vector<Param>& params = {});
  void Drop();

 private:
  bool WaitFor(short events, std::int64_t deadlineMs);
  Answer Failed(LineAnswer kind, std::string why);

  std::string conninfo_;
  std::uint32_t timeoutMs_;
  PGconn* conn_ = nullptr;
};

// The libpq message without its "FATAL:" or "ERROR:" and trailing new line.
std::string Message(const char* text);

}  // namespace bb::pg
