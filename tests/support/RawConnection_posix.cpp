// A TCP connection to a port on the loopback address, on POSIX sockets.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/RawConnection.h"

namespace jarvet::testing {

int FreeLoopbackPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(s);
  return port;
}

TRawConnection::TRawConnection(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(s);
    return;
  }
  Socket_ = s;
}

TRawConnection::~TRawConnection() {
  if (Connected()) close(static_cast<int>(Socket_));
}

bool TRawConnection::Send(std::string_view bytes) {
  while (Connected() && !bytes.empty()) {
    const ssize_t sent = send(static_cast<int>(Socket_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return Connected();
}

std::string TRawConnection::ReadSome(int timeoutMs, bool& closed) {
  closed = false;
  pollfd ready{static_cast<int>(Socket_), POLLIN, 0};
  if (!Connected() || poll(&ready, 1, timeoutMs) <= 0) return std::string();
  char buffer[4096];
  const ssize_t got = recv(static_cast<int>(Socket_), buffer, sizeof buffer, 0);
  if (got <= 0) {
    closed = true;
    return std::string();
  }
  return std::string(buffer, static_cast<std::size_t>(got));
}

}  // namespace jarvet::testing
