// What both platforms' raw connections share.
#include <algorithm>
#include <chrono>

#include "support/RawConnection.h"

namespace jarvet::testing {

namespace {

int MsLeft(std::chrono::steady_clock::time_point end) {
  return static_cast<int>(std::max<long long>(
      0, std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
             .count()));
}

}  // namespace

std::string TRawConnection::Receive(int timeoutMs, bool& closed) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string text;
  closed = false;
  while (!closed && MsLeft(end) > 0) text += ReadSome(MsLeft(end), closed);
  return text;
}

std::string TRawConnection::ReceiveUntil(std::string_view what, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string text;
  bool closed = false;
  while (text.find(what) == std::string::npos && !closed && MsLeft(end) > 0) {
    text += ReadSome(MsLeft(end), closed);
  }
  return text;
}

THttpAnswer HttpRequest(int port, const std::string& method, const std::string& target,
                        const std::string& headers, const std::string& host) {
  TRawConnection connection(port);
  connection.Send(method + " " + target + " HTTP/1.1\r\nHost: " + host +
                  "\r\nConnection: close\r\n" + headers + "\r\n");
  bool closed = false;
  const std::string all = connection.Receive(5000, closed);
  THttpAnswer answer;
  const std::size_t end = all.find("\r\n\r\n");
  if (all.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) return answer;
  answer.Status = std::stoi(all.substr(9, 3));
  answer.Head = all.substr(0, end);
  answer.Body = all.substr(end + 4);
  return answer;
}

}  // namespace jarvet::testing
