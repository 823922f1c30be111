// A station as a whole process: a simulated line's shift, each camera burned
// exactly once whatever it does after its burn, exactly the faulted runs
// failing, and what a station refuses to start with.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <thread>

#include "cli/cli_process.h"
#include "cli/running_program.h"
#include "support/raw_http.h"

namespace bb {
namespace {

using test::Result;

class StationCliTest : public test::CliProcessTest {
 protected:
  StationCliTest() { pinned_ = Run("--ini '" + work.File("Isp.ini") + "' pin").status == 0; }

  Result Station(const std::string& arguments, const std::string& ini = "") {
    return Run("--virtual-clock " + (ini.empty() ? "--ini '" + work.File("Isp.ini") + "' " : ini) + "--report '" +
               work.File("runs.jsonl") + "' station " + arguments);
  }

  // The fields of each line that the station printed for a run that ended.
  static std::vector<std::vector<std::string>> Fields(const std::vector<std::string>& out) {
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : out) {
      std::vector<std::string> fields;
      std::size_t start = 0;
      for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(line.substr(start, tab - start));
      }
      fields.push_back(line.substr(start));
      rows.push_back(fields);
    }
    return rows;
  }

  bool pinned_ = false;
};

TEST_F(StationCliTest, AShiftBurnsEveryCameraOnceAndExactlyTheFaultedRunsFail) {
  ASSERT_TRUE(pinned_);
  // The minute the shift began, in local time, as history takes it.
  const std::time_t began = std::time(nullptr);
  std::tm local{};
  localtime_r(&began, &local);
  char since[32] = {};
  std::strftime(since, sizeof since, "%Y-%m-%d %H:%M", &local);
  const std::string ini = JobWith("named.ini", {{"[MaskFlag]", "[Station]\nName=line 2\n[MaskFlag]"}});
  const Result shift = Station(
      "--simulate 8 --line 200 --line-serials T- --operator Ada --fault @5:write-fails:1 --fault @77:busy", ini);
  EXPECT_EQ(shift.status, 1) << shift.err;
  std::map<std::string, std::string> results;
  for (const std::vector<std::string>& fields : Fields(shift.out)) {
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0], fields[1]) << "a slot without Slots= is labelled by its location";
    EXPECT_TRUE(results.emplace(fields[2], fields[3]).second) << fields[2] << " burned twice";
    if (fields[3] == "ok") {
      EXPECT_EQ(fields[5], "ISP Write File OK !!!");
    }
  }
  ASSERT_EQ(results.size(), 200u);
  std::set<std::string> failed;
  for (const auto& [serial, result] : results) {
    if (result != "ok") failed.insert(serial);
  }
  EXPECT_EQ(failed, (std::set<std::string>{"T-00005", "T-00077"}));
  EXPECT_NE(shift.err.find("200 runs: 198 passed, 2 failed"), std::string::npos) << shift.err;
  EXPECT_NE(shift.err.find("fault fired: @5:write-fails:1"), std::string::npos);

  // The report has a line for each run, and each camera once, each run with
  // an id of its own and the station, operator and slot it ran at.
  std::map<std::string, int> reported;
  std::set<std::string> runIds;
  for (const std::string& line : test::Lines(test::Slurp(work.Path() / "runs.jsonl"))) {
    const std::size_t at = line.find("\"serial\":\"");
    ASSERT_NE(at, std::string::npos) << line;
    ++reported[line.substr(at + 10, 7)];
    const std::size_t id = line.find("\"run_id\":\"");
    ASSERT_NE(id, std::string::npos) << line;
    runIds.insert(line.substr(id + 10, 36));
    EXPECT_NE(line.find("\"station\":\"line 2\",\"operator\":\"Ada\",\"slot\":\""), std::string::npos) << line;
  }
  EXPECT_EQ(reported.size(), 200u);
  EXPECT_EQ(runIds.size(), 200u);
  for (const auto& [serial, count] : reported) EXPECT_EQ(count, 1) << serial;

  // The database beside Isp.ini holds the same runs.
  EXPECT_EQ(Run(ini + "history --json").out.size(), 200u);
  EXPECT_EQ(Run(ini + "history --json --result failed --since '" + since + "'").out.size(), 2u);
  EXPECT_EQ(Run(ini + "history --json --until '" + since + "'").out.size(), 0u);
  const Result one = Run(ini + "history --json --serial t-00077");
  ASSERT_EQ(one.out.size(), 1u) << one.err;
  EXPECT_NE(one.out[0].find("\"result\":\"failed\""), std::string::npos) << one.out[0];
}

TEST_F(StationCliTest, AShortShiftWithoutFaultsPasses) {
  ASSERT_TRUE(pinned_);
  const Result shift = Station("--simulate 4 --line 8 --verify");
  EXPECT_EQ(shift.status, 0) << shift.err;
  EXPECT_EQ(shift.out.size(), 8u);
  for (const std::vector<std::string>& fields : Fields(shift.out)) EXPECT_EQ(fields[5], "Read Verify Success !!!");
  EXPECT_NE(shift.err.find("8 runs: 8 passed, 0 failed"), std::string::npos) << shift.err;
}

TEST_F(StationCliTest, AStationThatCannotStartSaysWhy) {
  ASSERT_TRUE(pinned_);
  const std::string unpinned = "--ini '" + work.Write("unpinned.ini", test::Slurp(std::filesystem::path(BURNBENCH_EXAMPLES_DIR) / "Isp.ini")) + "' ";
  const std::string twice = JobWith("twice.ini", {{"[MaskFlag]", "[Station]\nSlots=A:1,a:2\n[MaskFlag]"}});
  const struct {
    std::string arguments;
    std::string ini;
    std::string said;
  } cases[] = {
      {"--simulate 2 --line 4", unpinned, "ParamSha256 is not set: a station burns only pinned images"},
      {"--simulate 2 --line 4", twice, "two slots are labelled"},
      {"--simulate 2 --line 4 --fault @5:busy", "", "aims at a camera the line does not have"},
      {"--simulate 2 --line 4 --time-scale 10", "", "--time-scale and --virtual-clock exclude each other"},
  };
  for (const auto& c : cases) {
    const Result result = Station(c.arguments, c.ini);
    EXPECT_EQ(result.status, 2) << c.arguments << c.ini;
    EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
  }
  // Allowed, the unpinned job is burned.
  EXPECT_EQ(Station("--simulate 2 --line 2 --allow-unpinned", unpinned).status, 0);
}

// A station whose page cannot be served as asked ends at its start, before
// any camera, with exit 2 and the reason.
TEST_F(StationCliTest, AStationWhosePageCannotBeServedDoesNotStart) {
  ASSERT_TRUE(pinned_);
  const int taken = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(taken, 1), 0);
  ASSERT_EQ(getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string port = std::to_string(ntohs(address.sin_port));
  const std::string token = "--token '" + work.Write("token.txt", "s3cret\n") + "' ";
  const struct {
    std::string arguments;
    std::string said;
  } cases[] = {
      {"--serve 127.0.0.1:" + port, "cannot listen on http://127.0.0.1:" + port + "/: the port is in use"},
      {"--serve " + port, "cannot listen on http://127.0.0.1:" + port + "/"},
      {"--serve 0.0.0.0:0", "--serve on 0.0.0.0, which other machines reach, needs --token FILE"},
      {"--serve 127.0.0.1:0 --token '" + work.File("none.txt") + "'", "--token needs a file that holds the token"},
      {"--serve 127.0.0.1:0 --tls '" + work.File("none.pem") + "' '" + work.File("none.key") + "'",
       "cannot serve HTTPS with the certificate"},
      {"--serve 127.0.0.1:70000", "--serve takes [ADDRESS:]PORT"},
      {"--serve [::1:0", "--serve takes [ADDRESS:]PORT"},
      {token, "--token and --tls need --serve"},
  };
  for (const auto& c : cases) {
    const Result result = Station("--simulate 2 --line 2 " + c.arguments);
    EXPECT_EQ(result.status, 2) << c.arguments;
    EXPECT_NE(result.err.find(c.said), std::string::npos) << c.arguments << ": " << result.err;
    EXPECT_TRUE(result.out.empty());
  }
  close(taken);
  // With a token, an address of every interface is served.
  const Result served = Station("--simulate 2 --line 2 --serve 0.0.0.0:0 " + token);
  EXPECT_EQ(served.status, 0) << served.err;
  EXPECT_NE(served.err.find("the station's page is served at http://0.0.0.0:"), std::string::npos) << served.err;
}

// A client that opens 100 event streams and reads none of them: the shift
// goes on to its end, the page and the API answer in the middle of the
// flood, and the streams beyond 32 are refused.
TEST_F(StationCliTest, AFloodOfStreamsThatReadNothingStopsNeitherTheShiftNorThePage) {
  ASSERT_TRUE(pinned_);
  const std::filesystem::path err = work.Path() / "flood.txt";
  test::RunningProgram station({"--ini", work.File("Isp.ini"), "--simulate", "4", "station", "--line", "20",
                                "--line-serials", "F-", "--time-scale", "10", "--serve", "127.0.0.1:0"},
                               err);
  const std::string served = "the station's page is served at http://127.0.0.1:";
  int port = 0;
  for (int look = 0; look < 300 && port == 0; ++look) {
    const std::string said = test::Slurp(err);
    const std::size_t at = said.find(served);
    if (at != std::string::npos) port = std::atoi(said.c_str() + at + served.size());
    else std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_NE(port, 0) << test::Slurp(err);
  // Each stream's answer is read up to its status line, and no further.
  std::vector<std::unique_ptr<test::RawHttp>> flood;
  int open = 0;
  int refused = 0;
  for (int i = 0; i < 100; ++i) {
    flood.push_back(std::make_unique<test::RawHttp>(port));
    ASSERT_TRUE(flood.back()->Send("GET /events HTTP/1.1\r\nHost: station\r\n\r\n")) << "stream " << i;
    const std::string status = flood.back()->StatusLine();
    open += status == "HTTP/1.1 200 OK";
    refused += status == "HTTP/1.1 503 Service Unavailable";
  }
  EXPECT_EQ(open, 32);
  EXPECT_EQ(refused, 68);
  for (const char* path : {"/", "/api/slots"}) {
    test::RawHttp client(port);
    ASSERT_TRUE(client.Send(std::string("GET ") + path + " HTTP/1.1\r\nHost: station\r\n\r\n"));
    EXPECT_EQ(client.StatusLine(), "HTTP/1.1 200 OK") << path;
  }
  std::set<std::string> serials;
  while (const std::optional<std::string> line = station.NextLine()) {
    serials.insert(Fields({*line})[0][2]);
  }
  EXPECT_EQ(station.Status(), 0) << test::Slurp(err);
  EXPECT_EQ(serials.size(), 20u);
}

// Standard error of a program on a named pipe, read as it comes: the moment
// the station has taken a Ctrl-C shows there.
class ErrorPipe {
 public:
  explicit ErrorPipe(const std::filesystem::path& path) : path_(path) {
    if (mkfifo(path.c_str(), 0600) == 0) fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK);
  }
  ~ErrorPipe() {
    if (fd_ >= 0) close(fd_);
  }
  ErrorPipe(const ErrorPipe&) = delete;
  ErrorPipe& operator=(const ErrorPipe&) = delete;

  // Reads until `text` has come, or the program closed its end.
  bool WaitFor(const std::string& text) {
    while (text_.find(text) == std::string::npos) {
      pollfd ready{fd_, POLLIN, 0};
      if (poll(&ready, 1, 60000) != 1) return false;
      char buffer[4096];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) return false;
      text_.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }
  const std::string& Text() const { return text_; }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  std::string text_;
};

// The first Ctrl-C stops taking cameras and lets the runs under way pass; a
// second, when runs are still under way, ends them where their cameras are
// safe, with 130. Either way the
// shift's summary counts every run that ended.
TEST_F(StationCliTest, CtrlCStopsTheStationInSteps) {
  ASSERT_TRUE(pinned_);
  for (const int presses : {1, 2}) {
    SCOPED_TRACE(presses);
    ErrorPipe err(work.Path() / ("err" + std::to_string(presses)));
    test::RunningProgram station({"--virtual-clock", "--ini", work.File("Isp.ini"), "--simulate", "4", "--line",
                                  "1000000", "station"},
                                 work.Path() / ("err" + std::to_string(presses)));
    std::vector<std::string> lines;
    const std::optional<std::string> first = station.NextLine();
    ASSERT_TRUE(first);
    lines.push_back(*first);
    station.Interrupt();
    ASSERT_TRUE(err.WaitFor("stopping: no more cameras are taken"));
    if (presses == 2) station.Interrupt();
    while (const std::optional<std::string> line = station.NextLine()) lines.push_back(*line);
    err.WaitFor("\nthe end that never comes");
    const int status = station.Status();
    unsigned passed = 0;
    for (const std::vector<std::string>& fields : Fields(lines)) passed += fields.at(3) == "ok" ? 1 : 0;
    EXPECT_LT(lines.size(), 1000000u);
    EXPECT_NE(err.Text().find(std::to_string(lines.size()) + " runs: " + std::to_string(passed) + " passed"),
              std::string::npos)
        << err.Text();
    if (presses == 1) {
      EXPECT_EQ(status, 0) << err.Text();
      EXPECT_EQ(passed, lines.size());
    } else if (status == 130) {
      EXPECT_NE(err.Text().find("interrupted: the runs end when their camera is safe"), std::string::npos);
    } else {
      // On the simulated time the runs under way may all have passed before
      // the second press came.
      EXPECT_EQ(status, 0) << err.Text();
      EXPECT_EQ(passed, lines.size());
    }
  }
}

}  // namespace
}  // namespace bb
