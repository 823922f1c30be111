#pragma once

// The tests' own PostgreSQL server, started once for the test run by the
// ctest fixture (line_server.sh): a database per test, the role `station`
// whose password the test's PGPASSFILE holds, and the means to stop, start,
// hang and wake the server in the middle of a test.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <tuple>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace bb::test {

class LineServer {
 public:
  LineServer() {
    std::ifstream state(BURNBENCH_LINE_SERVER_STATE);
    state >> folder_ >> port_ >> bin_;
    static std::atomic<int> counter{0};
    database_ = "t";
    database_ += std::to_string(getpid());
    database_ += '_';
    database_ += std::to_string(counter++);
    Admin("postgres", "DROP DATABASE IF EXISTS " + database_);
    Admin("postgres", "CREATE DATABASE " + database_);
  }
  ~LineServer() {
    Wake();
    Start();
    Admin("postgres", "DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
  }
  LineServer(const LineServer&) = delete;
  LineServer& operator=(const LineServer&) = delete;

  bool Found() const { return port_ != 0; }
  // As the database's owner, through the server's socket.
  std::string OwnerUri() const {
    return "postgresql:///" + database_ + "?host=" + folder_ + "&port=" + std::to_string(port_) + "&user=postgres";
  }
  // As a station, over TCP, with the password from PGPASSFILE.
  std::string StationUri() const {
    return "postgresql://station@127.0.0.1:" + std::to_string(port_) + "/" + database_ + "?sslmode=prefer";
  }
  std::string PassLine(const std::string& password) const {
    return "127.0.0.1:" + std::to_string(port_) + ":*:station:" + password + "\n";
  }

  // Runs `sql` in `database` as its owner; the first column of its rows.
  std::vector<std::string> Admin(const std::string& database, const std::string& sql) const {
    // A server left stopped fails the test instead of hanging it.
    const std::string conninfo = "host=" + folder_ + " port=" + std::to_string(port_) +
                                 " connect_timeout=10 user=postgres dbname=" + database;
    PGconn* conn = PQconnectdb(conninfo.c_str());
    std::vector<std::string> rows;
    PGresult* result = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) << sql << ": " << PQerrorMessage(conn);
    for (int i = 0; status == PGRES_TUPLES_OK && i < PQntuples(result); ++i) {
      rows.push_back(PQgetisnull(result, i, 0) ? "" : PQgetvalue(result, i, 0));
    }
    PQclear(result);
    PQfinish(conn);
    return rows;
  }
  std::vector<std::string> Query(const std::string& sql) const { return Admin(database_, sql); }

  void Stop() const { Control("-m fast -w stop"); }
  void Start() const { Control("-w -t 30 -l '" + folder_ + "/server.log' start"); }
  // The server and every process of it stop dead: connections stay open and
  // answer nothing.
  void Hang() const { Signal(SIGSTOP); }
  void Wake() const { Signal(SIGCONT); }

  void Control(const std::string& what) const {
    const std::string command = (getuid() == 0 ? "runuser -u postgres -- " : "") + bin_ + "/pg_ctl -D '" + folder_ +
                                "/data' " + what + " >/dev/null 2>&1";
    if (what.find("start") != std::string::npos) {
      // pg_ctl start fails on a server that runs: nothing to do then.
      std::ignore = std::system(command.c_str());
    } else {
      EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
  }
  // The postmaster is stopped first, so that it forks no backend while its
  // children are stopped, and woken last.
  void Signal(int signal) const {
    std::ifstream pidFile(folder_ + "/data/postmaster.pid");
    pid_t postmaster = 0;
    pidFile >> postmaster;
    if (postmaster <= 0) return;
    if (signal == SIGSTOP) kill(postmaster, signal);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::ifstream stat(entry.path() / "stat");
      std::string text;
      std::getline(stat, text);
      // "PID (NAME) STATE PPID ...", the name possibly with blanks and parentheses.
      const std::size_t close = text.rfind(')');
      if (close == std::string::npos) continue;
      std::istringstream rest(text.substr(close + 1));
      std::string state;
      pid_t parent = 0;
      rest >> state >> parent;
      if (parent == postmaster) kill(static_cast<pid_t>(std::stol(name)), signal);
    }
    if (signal != SIGSTOP) kill(postmaster, signal);
  }

  std::string Log() const {
    std::ifstream in(folder_ + "/server.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string folder_;
  int port_ = 0;
  std::string bin_;
  std::string database_;
};

}  // namespace bb::test
