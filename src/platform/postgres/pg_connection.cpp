#include "platform/postgres/pg_connection.h"

#include <poll.h>

#include <chrono>
#include <cstring>

#include "util/format.h"

namespace bb::pg {

namespace {

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A server that answered no at connection: the password, the role or the
// database. Anything else at connection is the server not being there.
bool ServerRefused(const std::string& message) {
  for (const char* said : {"password", "authentication", "pg_hba.conf", "does not exist", "permission denied"}) {
    if (message.find(said) != std::string::npos) return true;
  }
  return false;
}

// SQLSTATE classes that go away by themselves: connection exceptions, a
// statement cancelled by its time-out, a server shutting down, conflicts.
bool Passing(const char* state) {
  if (state == nullptr) return true;
  const std::string code = state;
  return code.starts_with("08") || code == "57014" || code.starts_with("57P") || code.starts_with("40") ||
         code.starts_with("53");
}

}  // namespace

std::string Message(const char* text) {
  std::string message = text == nullptr ? "" : text;
  for (const char* prefix : {"FATAL:  ", "ERROR:  "}) {
    const std::size_t at = message.find(prefix);
    if (at != std::string::npos) message.erase(0, at + std::strlen(prefix));
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  const std::size_t newline = message.find('\n');
  if (newline != std::string::npos) message.resize(newline);
  return message.empty() ? "no reason given" : message;
}

Connection::Connection(std::string conninfo, std::uint32_t timeoutMs)
    : conninfo_(std::move(conninfo)), timeoutMs_(timeoutMs) {}

Connection::~Connection() { Drop(); }

void Connection::Drop() {
  if (conn_ != nullptr) PQfinish(conn_);
  conn_ = nullptr;
}

Answer Connection::Failed(LineAnswer kind, std::string why) {
  Drop();
  Answer answer;
  answer.kind = kind;
  answer.why = std::move(why);
  return answer;
}

bool Connection::WaitFor(short events, std::int64_t deadlineMs) {
  for (;;) {
    const std::int64_t left = deadlineMs - NowMs();
    if (left <= 0) return false;
    pollfd ready{PQsocket(conn_), events, 0};
    const int n = poll(&ready, 1, static_cast<int>(left));
    if (n > 0) return true;
    if (n == 0) return false;
  }
}

Answer Connection::Open() {
  if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) return {};
  Drop();
  const std::string seconds = std::to_string(std::max<std::uint32_t>(2, (timeoutMs_ + 999) / 1000));
  // The connection string comes first, so that what follows holds whatever it says.
  const char* keys[] = {"dbname",           "connect_timeout",     "keepalives", "keepalives_idle",
                        "keepalives_interval", "keepalives_count", "tcp_user_timeout", "application_name",
                        nullptr};
  const std::string userTimeout = std::to_string(timeoutMs_);
  const char* values[] = {conninfo_.c_str(), seconds.c_str(), "1", "10", "5", "3", userTimeout.c_str(),
                          "burnbench", nullptr};
  conn_ = PQconnectStartParams(keys, values, 1);
  if (conn_ == nullptr) return Failed(LineAnswer::kUnreachable, "libpq cannot make a connection");
  if (PQstatus(conn_) == CONNECTION_BAD) {
    const std::string why = Message(PQerrorMessage(conn_));
    return Failed(ServerRefused(why) ? LineAnswer::kSaidNo : LineAnswer::kUnreachable, why);
  }
  const std::int64_t deadline = NowMs() + timeoutMs_;
  PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
  while (polling != PGRES_POLLING_OK) {
    if (polling == PGRES_POLLING_FAILED) {
      const std::string why = Message(PQerrorMessage(conn_));
      return Failed(ServerRefused(why) ? LineAnswer::kSaidNo : LineAnswer::kUnreachable, why);
    }
    if (!WaitFor(polling == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline)) {
      return Failed(LineAnswer::kUnreachable, Format("no answer within %.1f s", timeoutMs_ / 1000.0));
    }
    polling = PQconnectPoll(conn_);
  }
  // Sending never blocks either: a full socket waits in WaitFor, by the deadline.
  if (PQsetnonblocking(conn_, 1) != 0) return Failed(LineAnswer::kUnreachable, Message(PQerrorMessage(conn_)));
  // The server cancels what runs too long itself, where it still runs.
  Answer set = Run("SELECT set_config('statement_timeout', $1, false)", {std::to_string(timeoutMs_)});
  if (!set.Ok()) return set;
  return {};
}

Answer Connection::Run(const char* sql, const std::vector<Param>& params) {
  if (conn_ == nullptr) return Failed(LineAnswer::kUnreachable, "not connected");
  std::vector<const char*> values;
  for (const Param& param : params) values.push_back(param ? param->c_str() : nullptr);
  const std::int64_t deadline = NowMs() + timeoutMs_;
  const auto timedOut = [&] {
    return Failed(LineAnswer::kUnreachable, Format("no answer within %.1f s", timeoutMs_ / 1000.0));
  };
  // Without parameters several statements of our own may go at once.
  const int sent = params.empty() ? PQsendQuery(conn_, sql)
                                  : PQsendQueryParams(conn_, sql, static_cast<int>(values.size()), nullptr,
                                                      values.data(), nullptr, nullptr, 0);
  if (sent != 1) {
    return Failed(LineAnswer::kUnreachable, Message(PQerrorMessage(conn_)));
  }
  for (int flushing; (flushing = PQflush(conn_)) != 0;) {
    if (flushing < 0) return Failed(LineAnswer::kUnreachable, Message(PQerrorMessage(conn_)));
    if (!WaitFor(POLLOUT | POLLIN, deadline)) return timedOut();
    if (PQconsumeInput(conn_) != 1) return Failed(LineAnswer::kUnreachable, Message(PQerrorMessage(conn_)));
  }
  Answer answer;
  for (;;) {
    while (PQisBusy(conn_) == 1) {
      if (!WaitFor(POLLIN, deadline)) return timedOut();
      if (PQconsumeInput(conn_) != 1) return Failed(LineAnswer::kUnreachable, Message(PQerrorMessage(conn_)));
    }
    Result result(PQgetResult(conn_));
    if (!result) break;
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_FATAL_ERROR && answer.Ok()) {
      const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
      answer.kind = Passing(state) ? LineAnswer::kUnreachable : LineAnswer::kSaidNo;
      answer.why = Message(PQresultErrorMessage(result.get()));
    } else if (answer.Ok()) {
      answer.result = std::move(result);
    }
  }
  if (PQstatus(conn_) != CONNECTION_OK) {
    return Failed(LineAnswer::kUnreachable, answer.Ok() ? Message(PQerrorMessage(conn_)) : answer.why);
  }
  return answer;
}

}  // namespace bb::pg
