// Socket options and ending a connection, on Windows.
#include <winsock2.h>

#include "Connections.h"

namespace jarvet {

void ShutDownSocket(TSocketHandle socket) { shutdown(static_cast<SOCKET>(socket), SD_BOTH); }

void SetListenOptions(TSocketHandle socket) {
  // Windows lets a port in TIME_WAIT be taken again anyway; SO_REUSEADDR would let another
  // program take it from under us.
  BOOL yes = TRUE;
  setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
             reinterpret_cast<const char*>(&yes), sizeof yes);
}

}  // namespace jarvet
