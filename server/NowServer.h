// A live now-playing server for stream overlays: a page, the state as JSON, the cover, a stream
// of changes and control routes. It knows nothing of players: its caller hands it a source of
// states, asked by one poller however many viewers are connected.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace jarvet {

// Fills a now-playing template in for one polled state; shared read-only between requests.
class TTextFiller {
 public:
  virtual ~TTextFiller() = default;
  // False, with the reason in error, when the template does not read.
  virtual bool Fill(const std::string& templateText, std::string& text,
                    std::string& error) const = 0;
};

// One poll's state.
struct TNowState {
  std::string Json;    // the now-playing object, one line
  std::string Steady;  // the same less the moving play position: viewers hear when it changes
  std::optional<std::int64_t> PositionMs;
  bool Advancing = false;                    // the position moves with the clock
  std::shared_ptr<const std::string> Cover;  // the same pointer while the cover is the same
  std::string CoverType;                     // its MIME type
  std::shared_ptr<const TTextFiller> Text;   // none: templates give empty text
};

enum class TControlResult { Done, BadValue, NothingPlaying, NoPlayer, NotOffered };

// The caller's side. Both are asked from the server's one poller thread only.
class TNowSource {
 public:
  virtual ~TNowSource() = default;
  virtual TNowState Poll() = 0;
  // action: play pause toggle stop next prev, or volume and seekby with value their argument.
  virtual TControlResult Control(const std::string& action, const std::string& value) = 0;
};

struct TServeOptions {
  std::string Address = "127.0.0.1";
  int Port = 0;       // 0: any free one (tests)
  std::string Token;  // the control routes' token
  std::chrono::milliseconds Poll{250};
  int MaxConnections = 256;
  std::chrono::milliseconds RequestTime{5000};  // to send a complete request
  std::chrono::milliseconds KeepAlive{15000};   // between comments on a quiet event stream
};

class TNowServer {
 public:
  TNowServer(TNowSource& source, TServeOptions options);
  ~TNowServer();
  TNowServer(const TNowServer&) = delete;
  TNowServer& operator=(const TNowServer&) = delete;

  // Polls once, binds and starts serving; false with the reason when the address cannot be
  // bound.
  bool Start(std::string& error);
  int Port() const;
  // Ends every connection and the poller; also done on destruction.
  void Stop();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
};

}  // namespace jarvet
