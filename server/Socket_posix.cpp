// Socket options and ending a connection, on POSIX.
#include <sys/socket.h>

#include "Connections.h"

namespace jarvet {

void ShutDownSocket(TSocketHandle socket) { shutdown(static_cast<int>(socket), SHUT_RDWR); }

void SetListenOptions(TSocketHandle socket) {
  // SO_REUSEPORT, the library's choice, would let a second server share the port unnoticed.
  int yes = 1;
  setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

}  // namespace jarvet
