#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/run_store.h"
#include "serve_address.h"
#include "station_stream.h"

namespace bb::cli {

struct ServeSetup {
  ServeAddress address;
  // Every request must give it as its Basic password; empty: none needed.
  std::string token;
  // HTTPS with this certificate and key (PEM files); empty: plain HTTP.
  std::string tlsCert;
  std::string tlsKey;
  // Where /api/runs looks; null: no records (404).
  RunStore* store = nullptr;
};

// The station's page, its event stream and its JSON API, on a thread of
// their own. Only GET is served: the station is driven by cameras, not by
// the page. Nothing it meets stops the station: a failure of its own thread
// is told through `note` and the station goes on.
class StationServer {
 public:
  StationServer(ServeSetup setup, StationStream& stream, std::function<void(const std::string&)> note);
  ~StationServer();
  StationServer(const StationServer&) = delete;
  StationServer& operator=(const StationServer&) = delete;

  // Binds the address and serves from then on; false, with the reason in
  // `why`, when the address cannot be bound or TLS cannot be set up.
  bool Start(std::string& why);
  // The port it listens on (the one the system chose for port 0).
  int Port() const { return port_; }
  std::string Url() const;
  // Ends every stream and stops serving.
  void Stop();

  // Whether this build serves HTTPS.
  static bool HasTls();

 private:
  class Http;

  ServeSetup setup_;
  StationStream& stream_;
  std::function<void(const std::string&)> note_;
  std::unique_ptr<Http> http_;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace bb::cli
