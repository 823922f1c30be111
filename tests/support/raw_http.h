#pragma once

// A client of a local HTTP server, byte by byte through a socket: it sends
// what the test gives and reads only what the test asks for, as a browser or a
// misbehaving client would.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace bb::test {

class RawHttp {
 public:
  explicit RawHttp(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawHttp() { close(fd_); }
  RawHttp(const RawHttp&) = delete;
  RawHttp& operator=(const RawHttp&) = delete;
  bool Send(const std::string& bytes) {
    return connected_ && send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // What arrived until `until` shows up, the connection closes or 10 s pass.
  std::string ReadUntil(const std::string& until) {
    std::string got;
    while (got.find(until) == std::string::npos) {
      pollfd ready{fd_, POLLIN, 0};
      if (poll(&ready, 1, 10000) != 1) break;
      char buffer[4096];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  std::string StatusLine() {
    const std::string head = ReadUntil("\r\n");
    return head.substr(0, head.find("\r\n"));
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

}  // namespace bb::test
