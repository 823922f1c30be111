#include "station_server.h"

#include <httplib.h>

#include <algorithm>

#include "basic_auth.h"
#include "history_filter.h"
#include "platform/run_row_json.h"
#include "platform/std/system_clock.h"
#include "station_page.h"
#include "util/json_text.h"

namespace bb::cli {

namespace {

// A request beyond these is refused before anything reads it further. The
// library refuses a request line or a header line over 8 KiB itself.
constexpr std::size_t kMaxTarget = 2048;
constexpr std::size_t kMaxHeaders = 64;
constexpr std::size_t kMaxHeaderValue = 4096;
// The runs /api/runs lists when it is not told how many, and at most.
constexpr std::size_t kDefaultRuns = 100;
constexpr std::size_t kMostRuns = 1000;
// Threads for the streams and, beside them, for the page and the API, so that
// open streams never keep the page from being served.
constexpr std::size_t kThreadsBesideStreams = 16;

void Error(httplib::Response& res, int status, const std::string& why) {
  res.status = status;
  res.set_header("Connection", "close");
  res.set_header("Cache-Control", "no-store");
  res.set_content(JsonText(Json{{"error", why}}), "application/json");
}

// The history options that /api/runs takes, by their names without dashes.
bool HistoryOf(const httplib::Params& params, HistoryOptions& history, std::string& why) {
  for (const auto& [name, value] : params) {
    std::string* into = name == "serial"     ? &history.serial
                        : name == "slot"     ? &history.slot
                        : name == "since"    ? &history.since
                        : name == "until"    ? &history.until
                        : name == "result"   ? &history.result
                        : name == "firmware" ? &history.firmware
                        : name == "limit"    ? &history.limit
                        : name == "station"  ? &history.station
                                             : nullptr;
    if (into == nullptr) {
      why = "unknown filter " + name + "; the filters are serial, slot, since, until, result, firmware, limit "
            "and station";
      return false;
    }
    *into = value;
  }
  return true;
}

}  // namespace

class StationServer::Http {
 public:
  std::unique_ptr<httplib::Server> server;
  std::atomic<bool> stopping{false};
};

StationServer::StationServer(ServeSetup setup, StationStream& stream, std::function<void(const std::string&)> note)
    : setup_(std::move(setup)), stream_(stream), note_(std::move(note)), http_(std::make_unique<Http>()) {}

StationServer::~StationServer() { Stop(); }

bool StationServer::HasTls() {
#if defined(CPPHTTPLIB_OPENSSL_SUPPORT)
  return true;
#else
  return false;
#endif
}

std::string StationServer::Url() const { return ServeUrl(setup_.address, port_, !setup_.tlsCert.empty()); }

bool StationServer::Start(std::string& why) {
  const bool tls = !setup_.tlsCert.empty();
  if (tls && !HasTls()) {
    why = "this build serves no HTTPS (--tls): it has no TLS library";
    return false;
  }
#if defined(CPPHTTPLIB_OPENSSL_SUPPORT)
  if (tls) {
    http_->server = std::make_unique<httplib::SSLServer>(setup_.tlsCert.c_str(), setup_.tlsKey.c_str());
  }
#endif
  if (!http_->server) http_->server = std::make_unique<httplib::Server>();
  httplib::Server& server = *http_->server;
  if (!server.is_valid()) {
    why = "cannot serve HTTPS with the certificate " + setup_.tlsCert + " and the key " + setup_.tlsKey;
    return false;
  }
  const std::size_t threads = stream_.MaxStreams() + kThreadsBesideStreams;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  // One request a connection: an idle connection kept alive would hold a
  // thread that the page or the API may need, as would a flood of refused
  // streams.
  server.set_keep_alive_max_count(1);
  server.set_payload_max_length(0);

  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (req.target.size() > kMaxTarget) {
      Error(res, 414, "the request's path is longer than the station takes");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.headers.size() > kMaxHeaders) {
      Error(res, 431, "the request has more headers than the station takes");
      return httplib::Server::HandlerResponse::Handled;
    }
    for (const auto& [name, value] : req.headers) {
      if (value.size() > kMaxHeaderValue) {
        Error(res, 431, "a header of the request is longer than the station takes");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    if (req.method != "GET") {
      Error(res, 405, "the station serves GET only");
      res.set_header("Allow", "GET");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!setup_.token.empty()) {
      const std::optional<std::string> password = BasicPassword(req.get_header_value("Authorization"));
      if (!password || !SameToken(*password, setup_.token)) {
        Error(res, 401, "the station's token is needed (any user name, the token as password)");
        res.set_header("WWW-Authenticate", "Basic realm=\"Burnbench station\", charset=\"UTF-8\"");
        return httplib::Server::HandlerResponse::Handled;
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    // The page is the program's own: it loads nothing from anywhere else.
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                   "connect-src 'self'; img-src data:");
    res.set_content(kStationPage, "text/html; charset=utf-8");
  });

  server.Get("/events", [this](const httplib::Request&, httplib::Response& res) {
    std::shared_ptr<StationStream::Client> client = stream_.Open();
    if (!client) {
      Error(res, 503, "no more event streams can open now; try again later");
      res.set_header("Retry-After", "5");
      return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, client](std::size_t, httplib::DataSink& sink) {
          std::string message;
          if (!stream_.Next(*client, message)) return false;
          if (message.empty()) message = ": the station is there\n\n";
          return sink.write(message.data(), message.size());
        },
        [this, client](bool) { stream_.Close(client); });
  });

  server.Get("/api/slots", [this](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(stream_.SlotsJson(), "application/json");
  });

  server.Get("/api/runs", [this](const httplib::Request& req, httplib::Response& res) {
    if (setup_.store == nullptr) {
      Error(res, 404, "this station keeps no database of runs");
      return;
    }
    HistoryOptions history;
    RunFilter filter;
    std::string problem;
    if (!HistoryOf(req.params, history, problem) ||
        !FilterOf(history, SystemClock().UtcNowMs(), filter, problem)) {
      Error(res, 400, problem);
      return;
    }
    if (filter.limit == 0) filter.limit = kDefaultRuns;
    filter.limit = std::min(filter.limit, kMostRuns);
    std::vector<RunRow> rows;
    if (!setup_.store->Find(filter, rows, problem)) {
      Error(res, 503, "cannot read the database of runs: " + problem);
      return;
    }
    Json list = Json::array();
    for (const RunRow& row : rows) list.push_back(RunRowJson(row, RowForm::kReport));
    res.set_header("Cache-Control", "no-store");
    res.set_content(JsonText(list), "application/json");
  });

  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (res.status == 404 && res.body.empty()) {
          Error(res, 404, "the station serves /, /events, /api/slots and /api/runs");
        }
        return httplib::Server::HandlerResponse::Unhandled;
      }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    Error(res, 500, "the station could not answer this request");
  });

  const std::string& host = setup_.address.host;
  port_ = setup_.address.port == 0 ? server.bind_to_any_port(host)
                                   : (server.bind_to_port(host, setup_.address.port) ? setup_.address.port : -1);
  if (port_ <= 0) {
    why = "cannot listen on " + ServeUrl(setup_.address, setup_.address.port, tls) +
          ": the port is in use, or the address is not one of this machine's";
    port_ = 0;
    return false;
  }
  thread_ = std::thread([this] {
    // A failure here ends the page, never the station.
    bool listened = false;
    try {
      listened = http_->server->listen_after_bind();
    } catch (...) {
      listened = false;
    }
    if (!listened && !http_->stopping) note_("the station's page is no longer served at " + Url());
  });
  return true;
}

void StationServer::Stop() {
  if (!thread_.joinable()) return;
  http_->stopping = true;
  stream_.End();
  http_->server->stop();
  thread_.join();
}

}  // namespace bb::cli
