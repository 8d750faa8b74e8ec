// A TCP connection to a port on the loopback address, sent and read byte for byte: what a
// client that sends half a request, or never reads, looks like to a server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace jarvet::testing {

// A port on the loopback address that nothing listened on a moment ago.
int FreeLoopbackPort();

class TRawConnection {
 public:
  explicit TRawConnection(int port);
  ~TRawConnection();
  TRawConnection(const TRawConnection&) = delete;
  TRawConnection& operator=(const TRawConnection&) = delete;

  bool Connected() const { return Socket_ != kNone; }
  bool Send(std::string_view bytes);
  // What arrives within timeoutMs, up to the peer's end (then closed is true).
  std::string Receive(int timeoutMs, bool& closed);
  // Reads until the text holds what, the peer ends, or timeoutMs pass.
  std::string ReceiveUntil(std::string_view what, int timeoutMs);

 private:
  // What one read brings within timeoutMs; closed when the peer has ended.
  std::string ReadSome(int timeoutMs, bool& closed);
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t Socket_ = kNone;
};

// An HTTP answer, as read whole from a connection of its own.
struct THttpAnswer {
  int Status = 0;  // 0 when no answer came
  std::string Head, Body;
};

// One request, "Connection: close", with the further header lines (each ending in CR LF).
THttpAnswer HttpRequest(int port, const std::string& method, const std::string& target,
                        const std::string& headers = "", const std::string& host = "127.0.0.1");

}  // namespace jarvet::testing
