// A TCP connection to a port on the loopback address, on Winsock.
#include <winsock2.h>

#include "support/RawConnection.h"

namespace jarvet::testing {

namespace {

bool StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace

int FreeLoopbackPort() {
  if (!StartWinsock()) return 0;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  closesocket(s);
  return port;
}

TRawConnection::TRawConnection(int port) {
  if (!StartWinsock()) return;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return;
  }
  Socket_ = static_cast<std::intptr_t>(s);
}

TRawConnection::~TRawConnection() {
  if (Connected()) closesocket(static_cast<SOCKET>(Socket_));
}

bool TRawConnection::Send(std::string_view bytes) {
  while (Connected() && !bytes.empty()) {
    const int sent = send(static_cast<SOCKET>(Socket_), bytes.data(),
                          static_cast<int>(bytes.size()), 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return Connected();
}

std::string TRawConnection::ReadSome(int timeoutMs, bool& closed) {
  closed = false;
  if (!Connected()) return std::string();
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(static_cast<SOCKET>(Socket_), &ready);
  timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (select(0, &ready, nullptr, nullptr, &wait) <= 0) return std::string();
  char buffer[4096];
  const int got = recv(static_cast<SOCKET>(Socket_), buffer, sizeof buffer, 0);
  if (got <= 0) {
    closed = true;
    return std::string();
  }
  return std::string(buffer, static_cast<std::size_t>(got));
}

}  // namespace jarvet::testing
