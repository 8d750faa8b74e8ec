// Real MPRIS players for the tests, each on a private session bus in a temporary directory,
// checked through their own channels (mpv's JSON IPC, VLC's remote-control socket, audtool):
// never through jarvet. Everything started here is ended with its process group. POSIX only.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace jarvet::testing {

// A program in a process group of its own, with further environment variables, its output in
// a file; the destructor ends the whole group (SIGTERM, then SIGKILL) and reaps it.
class TProcessGroup {
 public:
  TProcessGroup(const std::vector<std::string>& argv,
                const std::map<std::string, std::string>& environment,
                const std::string& outputPath);
  ~TProcessGroup();
  TProcessGroup(const TProcessGroup&) = delete;
  TProcessGroup& operator=(const TProcessGroup&) = delete;
  bool Started() const { return Id_ > 0; }
  bool Running();
  // Sends the signal to the whole group.
  void Signal(int signal);
  // Ends the group and waits for its leader, up to timeoutMs before SIGKILL.
  void End(int timeoutMs = 3000);

 private:
  pid_t Id_ = -1;
};

// Polls condition every 20 ms until it holds or timeoutMs has passed; answers the last result.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// The output of a program run to its end; empty when it failed.
std::string RunTool(const std::vector<std::string>& argv);

// A dbus-daemon of its own that admits every user (VLC runs as another one), listening on a
// socket in dir.
class TPrivateBus {
 public:
  explicit TPrivateBus(const std::string& dir);
  bool Ok() const { return !Address_.empty(); }
  // For DBUS_SESSION_BUS_ADDRESS.
  const std::string& Address() const { return Address_; }
  bool HasName(const std::string& name) const;
  // A property as dbus-send prints it, e.g. "boolean true"; empty when it cannot be read.
  std::string Property(const std::string& name, const std::string& interface,
                       const std::string& property) const;
  // Calls a method with dbus-send's typed arguments ("int64:5000000"); false on an error reply.
  bool Call(const std::string& name, const std::string& method,
            const std::vector<std::string>& arguments = {}) const;

 private:
  std::unique_ptr<TProcessGroup> Daemon_;
  std::string Address_;
};

// Files the players can read; what a test hands each player.
struct TPlayerSetup {
  std::string Dir;  // the test's temporary directory
  const TPrivateBus* Bus = nullptr;
};

// mpv with its MPRIS plugin, no video, null audio output, idle when its playlist ends.
class TMpv {
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.mpv";
  TMpv(const TPlayerSetup& setup, const std::vector<std::string>& files,
       const std::vector<std::string>& options = {});
  // Started, on the bus, and answering on its IPC socket.
  bool Ready() const { return Ready_; }
  // The property as text (get_property_string); absent on an error (e.g. none while idle).
  std::optional<std::string> Get(const std::string& property) const;
  std::optional<double> Number(const std::string& property) const;
  bool Set(const std::string& property, const std::string& value) const;
  // Any IPC command, given as its JSON array; true on success.
  bool Command(const std::string& jsonArray) const;
  // Ends mpv (the bus name goes with it).
  void Quit() { Process_.reset(); }
  // SIGSTOP makes it a player that stops answering; SIGCONT brings it back.
  void Signal(int signal) { Process_->Signal(signal); }

 private:
  std::string Request(const std::string& jsonArray) const;
  std::string Socket_;
  std::unique_ptr<TProcessGroup> Process_;
  bool Ready_ = false;
};

// VLC's dummy interface with its MPRIS control module and a remote-control socket for checks;
// as user 65534 when the tests run as root (VLC refuses root), with a home of its own.
class TVlc {
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.vlc";
  TVlc(const TPlayerSetup& setup, const std::vector<std::string>& files);
  bool Ready() const { return Ready_; }
  // The answer of one remote-control command, without the echo of status changes.
  std::string Rc(const std::string& command) const;
  // The playlist's titles, in order, as the remote control lists them.
  std::vector<std::string> PlaylistTitles() const;
  // The input playing or paused (its URL), empty when none.
  std::string CurrentInput() const;
  bool Playing() const;

 private:
  std::string Socket_;
  std::unique_ptr<TProcessGroup> Process_;
  bool Ready_ = false;
};

// Audacious headless, with a configuration of its own; audtool checks it on the same bus.
class TAudacious {
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.audacious";
  TAudacious(const TPlayerSetup& setup, const std::vector<std::string>& files);
  bool Ready() const { return Ready_; }
  // audtool's answer, its last line end removed.
  std::string Audtool(const std::vector<std::string>& arguments) const;

 private:
  std::map<std::string, std::string> Environment_;
  std::unique_ptr<TProcessGroup> Process_;
  bool Ready_ = false;
};

// Serves one file's bytes to every HTTP request on 127.0.0.1, from a thread of its own: a
// stream for the players without any network.
class TLoopbackHttp {
 public:
  TLoopbackHttp(std::string body, std::string contentType);
  ~TLoopbackHttp();
  TLoopbackHttp(const TLoopbackHttp&) = delete;
  TLoopbackHttp& operator=(const TLoopbackHttp&) = delete;
  // "http://127.0.0.1:PORT/<name>"; empty when no socket could be opened.
  std::string Url(const std::string& name) const;

 private:
  void Serve();
  std::string Body_, ContentType_;
  int Listener_ = -1;
  int Port_ = 0;
  std::thread Thread_;
};

// "file://" and the path with every byte but the unreserved ones percent-escaped.
std::string FileUri(const std::string& path);

}  // namespace jarvet::testing
