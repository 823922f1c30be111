// The station's page server in the test's own process: a feed the test drives,
// the stream and the server on a free loopback port, and clients that speak
// HTTP through the library or byte by byte through a socket.
#include <gtest/gtest.h>
#include <httplib.h>

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/sqlite/sqlite_run_store.h"
#include "platform/virtual/virtual_clock.h"
#include "station_server.h"
#include "station_stream.h"
#include "support/raw_http.h"
#include "support/temp_folder.h"

namespace bb::cli {
namespace {

SlotView Slot(const std::string& label, SlotState state, int percent = -1, const std::string& detail = "") {
  SlotView view;
  view.label = label;
  view.location = label;
  view.state = state;
  view.percent = percent;
  view.detail = detail;
  view.serial = "CAM-" + label;
  view.cameraPresent = true;
  return view;
}

ServeSetup Loopback(const std::string& token, RunStore* store, const std::string& cert = "",
                    const std::string& key = "") {
  ServeSetup setup;
  setup.address.host = "127.0.0.1";
  setup.token = token;
  setup.tlsCert = cert;
  setup.tlsKey = key;
  setup.store = store;
  return setup;
}

// The messages of one event stream, as a browser's EventSource reads them.
class StreamReader {
 public:
  StreamReader(int port, const std::string& password = "") : client_("127.0.0.1", port) {
    client_.set_read_timeout(20, 0);
    if (!password.empty()) client_.set_basic_auth("line lead", password.c_str());
    thread_ = std::thread([this] {
      client_.Get("/events", [this](const char* data, std::size_t length) {
        std::lock_guard lock(mutex_);
        pending_.append(data, length);
        for (std::size_t end; (end = pending_.find("\n\n")) != std::string::npos;) {
          messages_.push_back(pending_.substr(0, end));
          pending_.erase(0, end + 2);
        }
        changed_.notify_all();
        return !stop_;
      });
      std::lock_guard lock(mutex_);
      ended_ = true;
      changed_.notify_all();
    });
  }
  ~StreamReader() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    client_.stop();
    thread_.join();
  }
  // The next message, waiting up to 10 s for it; empty when none came.
  std::string Next() {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [this] { return !messages_.empty() || ended_; });
    if (messages_.empty()) return {};
    std::string message = messages_.front();
    messages_.pop_front();
    return message;
  }

 private:
  httplib::Client client_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string pending_;
  std::deque<std::string> messages_;
  bool stop_ = false;
  bool ended_ = false;
};

class StationServerTest : public ::testing::Test {
 protected:
  StationServerTest() {
    feed.SetSlot(0, Slot("A", SlotState::kEmpty));
    feed.SetSlot(1, Slot("B", SlotState::kEmpty));
    feed.Subscribe(stream);
  }
  ~StationServerTest() override {
    if (server) server->Stop();
    feed.Unsubscribe(stream);
  }
  void Serve(const std::string& token = "", RunStore* store = nullptr) {
    server = std::make_unique<StationServer>(Loopback(token, store),
                                             stream, [](const std::string&) {});
    std::string why;
    ASSERT_TRUE(server->Start(why)) << why;
  }
  httplib::Result Get(const std::string& path, const std::string& password = "") {
    httplib::Client client("127.0.0.1", server->Port());
    if (!password.empty()) client.set_basic_auth("anyone", password.c_str());
    return client.Get(path.c_str());
  }

  StationFeed feed;
  StationStream stream{StationStream::Limits{}};
  std::unique_ptr<StationServer> server;
};

TEST_F(StationServerTest, AStreamStartsWithTheSnapshotThenEachChangeInOrderWithProgressCoalesced) {
  Serve();
  StreamReader reader(server->Port());
  const std::string snapshot = reader.Next();
  EXPECT_NE(snapshot.find("event: snapshot"), std::string::npos) << snapshot;
  EXPECT_NE(snapshot.find("\"label\":\"A\""), std::string::npos);
  EXPECT_NE(snapshot.find("\"label\":\"B\""), std::string::npos);

  feed.SetSlot(0, Slot("A", SlotState::kBurning, 0));
  for (int percent = 1; percent <= 60; ++percent) feed.SetSlot(0, Slot("A", SlotState::kBurning, percent));
  feed.SetSlot(1, Slot("B", SlotState::kFailed, -1, "ISP Write File Fail !!!"));
  RunEnded run{"B", "B", "CAM-B", false, 1200, "ISP Write File Fail !!!", "run-1", false};
  feed.AddRunEnded(run);

  std::vector<std::string> received;
  for (std::string message = reader.Next(); !message.empty(); message = reader.Next()) {
    received.push_back(message);
    if (message.find("\"percent\":60") != std::string::npos) break;
  }
  ASSERT_GE(received.size(), 4u);
  EXPECT_NE(received[0].find("\"state\":\"burning\",\"state_text\":\"burning\""), std::string::npos) << received[0];
  EXPECT_NE(received[0].find("\"percent\":0"), std::string::npos);
  EXPECT_NE(received[1].find("\"state\":\"failed\""), std::string::npos) << received[1];
  EXPECT_NE(received[1].find("ISP Write File Fail !!!"), std::string::npos);
  EXPECT_NE(received[2].find("event: run"), std::string::npos) << received[2];
  // Sixty changes of progress within a moment reach the client as a few, the
  // last of them the latest.
  EXPECT_LE(received.size(), 8u);
  EXPECT_NE(received.back().find("\"percent\":60"), std::string::npos) << received.back();
  // A page opened now starts from everything as it stands.
  const httplib::Result slots = Get("/api/slots");
  ASSERT_TRUE(slots);
  EXPECT_NE(slots->body.find("\"percent\":60"), std::string::npos);
  EXPECT_NE(slots->body.find("\"run_id\":\"run-1\""), std::string::npos);

  // The line's state goes into the header as the board words it.
  LineView line;
  line.state = LineView::State::kUnreachable;
  line.sinceUtcMs = 1'765'000'000'000;
  line.waiting = 37;
  feed.SetLine(line);
  std::string header;
  for (std::string message = reader.Next(); !message.empty(); message = reader.Next()) {
    if (message.find("event: header") != std::string::npos) {
      header = message;
      break;
    }
  }
  EXPECT_NE(header.find("\"line\":\"line: unreachable since "), std::string::npos) << header;
  EXPECT_NE(header.find(", 37 runs waiting\""), std::string::npos) << header;
  const httplib::Result again = Get("/api/slots");
  ASSERT_TRUE(again);
  EXPECT_NE(again->body.find(", 37 runs waiting\""), std::string::npos) << again->body;
}

TEST_F(StationServerTest, AClientThatReadsNothingIsDroppedWhileTheOthersGetEverything) {
  Serve();
  test::RawHttp stalled(server->Port());
  ASSERT_TRUE(stalled.Send("GET /events HTTP/1.1\r\nHost: station\r\n\r\n"));
  StreamReader reader(server->Port());
  EXPECT_NE(reader.Next().find("event: snapshot"), std::string::npos);
  while (stream.OpenStreams() < 2) std::this_thread::yield();

  // States that alternate are never coalesced: every one is queued for each
  // client. A bounded number of them fills the stalled client's queue and
  // socket, and it is dropped; publishing never waited for it.
  const std::string bulk(2000, 'x');
  int published = 0;
  while (stream.Dropped() == 0 && published < 20000) {
    feed.SetSlot(0, Slot("A", published % 2 == 0 ? SlotState::kBurning : SlotState::kVerifying, -1, bulk));
    ++published;
    if (published % 64 == 0) {
      // The reading client keeps up.
      for (int i = 0; i < 64; ++i) ASSERT_FALSE(reader.Next().empty());
    }
  }
  EXPECT_EQ(stream.Dropped(), 1u);
  feed.SetSlot(1, Slot("B", SlotState::kPassed, -1, "ISP Write File OK !!!"));
  std::string last;
  for (std::string message = reader.Next(); !message.empty(); message = reader.Next()) {
    last = message;
    if (message.find("ISP Write File OK !!!") != std::string::npos) break;
  }
  EXPECT_NE(last.find("\"state\":\"passed\""), std::string::npos);
}

TEST_F(StationServerTest, StreamsBeyondTheCapGet503AndThePageAndTheApiStillAnswer) {
  Serve();
  std::vector<std::unique_ptr<test::RawHttp>> streams;
  for (int i = 0; i < 32; ++i) {
    streams.push_back(std::make_unique<test::RawHttp>(server->Port()));
    ASSERT_TRUE(streams.back()->Send("GET /events HTTP/1.1\r\nHost: station\r\n\r\n"));
    ASSERT_EQ(streams.back()->StatusLine(), "HTTP/1.1 200 OK") << "stream " << i;
  }
  test::RawHttp beyond(server->Port());
  ASSERT_TRUE(beyond.Send("GET /events HTTP/1.1\r\nHost: station\r\n\r\n"));
  EXPECT_EQ(beyond.StatusLine(), "HTTP/1.1 503 Service Unavailable");
  const httplib::Result page = Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<title>Burnbench station</title>"), std::string::npos);
  const httplib::Result slots = Get("/api/slots");
  ASSERT_TRUE(slots);
  EXPECT_EQ(slots->status, 200);
}

TEST_F(StationServerTest, WithATokenEveryRequestWithoutItGets401) {
  Serve("s3cret:token");
  for (const char* path : {"/", "/events", "/api/slots", "/api/runs"}) {
    for (const char* password : {"", "wrong", "s3cret"}) {
      const httplib::Result result = Get(path, password);
      ASSERT_TRUE(result) << path;
      EXPECT_EQ(result->status, 401) << path << " with " << password;
      EXPECT_EQ(result->get_header_value("WWW-Authenticate").rfind("Basic ", 0), 0u);
    }
  }
  for (const char* path : {"/", "/api/slots"}) {
    const httplib::Result result = Get(path, "s3cret:token");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << path;
  }
  StreamReader reader(server->Port(), "s3cret:token");
  EXPECT_NE(reader.Next().find("event: snapshot"), std::string::npos);
}

TEST_F(StationServerTest, RequestsOverTheLimitsOrNotGetAre4xxAndTheServerGoesOn) {
  Serve();
  const std::string longHeaders = [] {
    std::string headers;
    for (int i = 0; i < 70; ++i) headers += "X-Many-" + std::to_string(i) + ": 1\r\n";
    return headers;
  }();
  const struct {
    std::string request;
    std::string status;
  } cases[] = {
      {"GET /" + std::string(3000, 'a') + " HTTP/1.1\r\nHost: s\r\n\r\n", "HTTP/1.1 414 URI Too Long"},
      {"GET /?" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: s\r\n\r\n", "HTTP/1.1 414 URI Too Long"},
      {"GET / HTTP/1.1\r\nHost: s\r\n" + longHeaders + "\r\n", "HTTP/1.1 431 Request Header Fields Too Large"},
      {"GET / HTTP/1.1\r\nHost: s\r\nX-Long: " + std::string(5000, 'b') + "\r\n\r\n",
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"GET / HTTP/1.1\r\nHost: s\r\nX-Longer: " + std::string(9000, 'b') + "\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"POST /api/slots HTTP/1.1\r\nHost: s\r\nContent-Length: 2\r\n\r\n{}", "HTTP/1.1 405 Method Not Allowed"},
      {"DELETE / HTTP/1.1\r\nHost: s\r\n\r\n", "HTTP/1.1 405 Method Not Allowed"},
      {"GET /nothing HTTP/1.1\r\nHost: s\r\n\r\n", "HTTP/1.1 404 Not Found"},
      {"GARBAGE\r\n\r\n", "HTTP/1.1 400 Bad Request"},
  };
  for (const auto& each : cases) {
    test::RawHttp client(server->Port());
    ASSERT_TRUE(client.Send(each.request));
    EXPECT_EQ(client.StatusLine(), each.status) << each.request.substr(0, 60);
  }
  const httplib::Result page = Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
}

TEST_F(StationServerTest, RunsComeFromTheRecordsWithTheFiltersOfHistoryOr404WithoutThem) {
  Serve();
  const httplib::Result none = Get("/api/runs");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->status, 404);
  EXPECT_EQ(none->body, "{\"error\":\"this station keeps no database of runs\"}");
  server->Stop();

  test::TempFolder folder;
  VirtualClock clock;
  OpenedStore opened = OpenRunStore(folder.File("runs.db"), StoreUse::kWrite, StoreWaits{clock});
  ASSERT_TRUE(opened.store);
  for (int i = 0; i < 3; ++i) {
    RunRow row;
    row.runId = "00000000-0000-4000-8000-00000000000" + std::to_string(i);
    row.startUtcMs = 1'800'000'000'000 + i * 60'000;
    row.endUtcMs = row.startUtcMs + 30'000;
    row.command = "burn";
    row.station = i == 2 ? "bench 5" : "bench 4";
    row.slot = "A";
    row.serial = "CAM-" + std::to_string(i);
    row.result = i == 1 ? kResultFailed : kResultOk;
    row.lastLogLine = i == 1 ? "ISP Write File Fail !!!" : "ISP Write File OK !!!";
    std::string warning;
    ASSERT_EQ(opened.store->Add(row, warning), Kept::kStored) << warning;
  }
  Serve("", opened.store.get());
  const httplib::Result station = Get("/api/runs?station=bench%204");
  ASSERT_TRUE(station);
  EXPECT_EQ(station->status, 200);
  EXPECT_EQ(station->get_header_value("Content-Type"), "application/json");
  EXPECT_NE(station->body.find("\"serial\":\"CAM-1\""), std::string::npos);
  EXPECT_LT(station->body.find("CAM-1"), station->body.find("CAM-0"));  // newest first
  EXPECT_EQ(station->body.find("CAM-2"), std::string::npos) << station->body;
  const httplib::Result failed = Get("/api/runs?result=failed&limit=5");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->body.find("CAM-0"), std::string::npos);
  EXPECT_NE(failed->body.find("\"last_log_line\":\"ISP Write File Fail !!!\""), std::string::npos);
  for (const char* wrong : {"/api/runs?limit=none", "/api/runs?since=someday", "/api/runs?color=red"}) {
    const httplib::Result refused = Get(wrong);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400) << wrong;
    EXPECT_EQ(refused->body.rfind("{\"error\":", 0), 0u) << refused->body;
  }
}

TEST_F(StationServerTest, WithTlsThePageAndTheApiAreServedOverHttps) {
  test::TempFolder folder;
  const std::string cert = folder.File("cert.pem");
  const std::string key = folder.File("key.pem");
  const std::string make = "openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 1 -keyout '" + key +
                           "' -out '" + cert + "' 2>/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);
  server = std::make_unique<StationServer>(Loopback("", nullptr, cert, key),
                                           stream, [](const std::string&) {});
  std::string why;
  ASSERT_TRUE(server->Start(why)) << why;
  EXPECT_EQ(server->Url(), "https://127.0.0.1:" + std::to_string(server->Port()) + "/");
  httplib::SSLClient client("127.0.0.1", server->Port());
  client.enable_server_certificate_verification(false);
  const httplib::Result slots = client.Get("/api/slots");
  ASSERT_TRUE(slots);
  EXPECT_EQ(slots->status, 200);
  EXPECT_NE(slots->body.find("\"label\":\"A\""), std::string::npos);
  // Plain HTTP gets no page from it.
  EXPECT_FALSE(Get("/api/slots"));
}

}  // namespace
}  // namespace bb::cli
