// Real MPRIS players on a private bus, for the tests: POSIX processes, sockets and tools.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/RealPlayers.h"
#include "Unicode.h"

namespace jarvet::testing {

namespace fs = std::filesystem;

namespace {

// How long a player may take to start and appear on the bus, and a tool to answer.
constexpr int kStartTimeoutMs = 15000;
constexpr int kToolTimeoutMs = 10000;
constexpr int kSocketTimeoutMs = 5000;
// The unprivileged user VLC runs as when the tests run as root.
constexpr uid_t kNobody = 65534;
const char kMprisPath[] = "/org/mpris/MediaPlayer2";

using Environment = std::map<std::string, std::string>;

// A program's parameters and environment, made before fork: a test may have threads (the HTTP
// server), so the child calls nothing that allocates.
class TExecImage {
 public:
  TExecImage(const std::vector<std::string>& argv, const Environment& overrides) : Argv_(argv) {
    for (char** variable = environ; *variable != nullptr; ++variable) {
      const std::string text = *variable;
      if (overrides.count(text.substr(0, text.find('='))) == 0) Environment_.push_back(text);
    }
    for (const auto& [name, value] : overrides) Environment_.push_back(name + "=" + value);
    ArgvPointers_ = Pointers(Argv_);
    EnvironmentPointers_ = Pointers(Environment_);
  }
  // In the child: standard input from /dev/null, then exec; never returns. The child dies with
  // the test, also when the test is killed and no destructor runs.
  [[noreturn]] void Exec(pid_t parent) const {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    execvpe(ArgvPointers_[0], ArgvPointers_.data(), EnvironmentPointers_.data());
    _exit(127);
  }

 private:
  static std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
  }
  std::vector<std::string> Argv_, Environment_;
  std::vector<char*> ArgvPointers_, EnvironmentPointers_;
};

// A connected Unix-domain stream socket, or -1.
int ConnectUnix(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads until stop(text) holds, the other end closes or timeoutMs passes.
std::string ReadUntil(int fd, const std::function<bool(const std::string&)>& stop, int timeoutMs) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[4096];
  while (!stop(text)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

// The JSON string starting at text[at] (its opening quote), decoded; absent when malformed.
std::optional<std::string> JsonString(const std::string& text, std::size_t at) {
  if (at >= text.size() || text[at] != '"') return std::nullopt;
  std::string out;
  auto hex4 = [&](std::size_t i) -> std::optional<std::uint32_t> {
    if (i + 4 > text.size()) return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(text.substr(i, 4), nullptr, 16));
  };
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') return out;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= text.size()) return std::nullopt;
    switch (text[i]) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u': {
        std::optional<std::uint32_t> unit = hex4(i + 1);
        if (!unit) return std::nullopt;
        i += 4;
        std::uint32_t code = *unit;
        if (code >= 0xD800 && code < 0xDC00 && i + 2 < text.size() && text[i + 1] == '\\' &&
            text[i + 2] == 'u') {
          const std::optional<std::uint32_t> low = hex4(i + 3);
          if (!low) return std::nullopt;
          code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
          i += 6;
        }
        AppendUtf8(out, static_cast<char32_t>(code));
        break;
      }
      default:
        out += text[i];  // \" \\ \/
    }
  }
  return std::nullopt;
}

std::string JsonQuoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string MakeHome(const std::string& dir, const std::string& name) {
  const std::string home = dir + "/" + name;
  std::error_code ignored;
  for (const char* sub : {"/.config", "/.local/share", "/.cache"}) {
    fs::create_directories(home + sub, ignored);
  }
  return home;
}

Environment HomeEnvironment(const std::string& home, const TPrivateBus& bus) {
  return {{"HOME", home},
          {"XDG_CONFIG_HOME", home + "/.config"},
          {"XDG_DATA_HOME", home + "/.local/share"},
          {"XDG_CACHE_HOME", home + "/.cache"},
          {"XDG_RUNTIME_DIR", home},
          {"DBUS_SESSION_BUS_ADDRESS", bus.Address()}};
}

}  // namespace

TProcessGroup::TProcessGroup(const std::vector<std::string>& argv, const Environment& environment,
                             const std::string& outputPath) {
  const TExecImage image(argv, environment);
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);
    const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    image.Exec(parent);
  }
  if (child < 0) return;
  setpgid(child, child);  // both sides: the group exists whichever runs first
  Id_ = child;
}

TProcessGroup::~TProcessGroup() { End(); }

bool TProcessGroup::Running() {
  if (Id_ <= 0) return false;
  if (waitpid(Id_, nullptr, WNOHANG) == Id_) {
    kill(-Id_, SIGKILL);  // whatever it left behind in its group
    Id_ = -1;
    return false;
  }
  return true;
}

void TProcessGroup::Signal(int signal) {
  if (Id_ > 0) kill(-Id_, signal);
}

void TProcessGroup::End(int timeoutMs) {
  if (Id_ <= 0) return;
  kill(-Id_, SIGCONT);  // a stopped group would not take SIGTERM
  kill(-Id_, SIGTERM);
  if (!WaitUntil([&] { return waitpid(Id_, nullptr, WNOHANG) == Id_; }, timeoutMs)) {
    kill(-Id_, SIGKILL);
    waitpid(Id_, nullptr, 0);
  }
  kill(-Id_, SIGKILL);  // what the leader left behind in its group
  Id_ = -1;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

namespace {

std::string RunToolWith(const std::vector<std::string>& argv, const Environment& environment) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return std::string();
  const TExecImage image(argv, environment);
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    image.Exec(parent);
  }
  close(out[1]);
  if (child < 0) {
    close(out[0]);
    return std::string();
  }
  std::string text = ReadUntil(
      out[0], [](const std::string&) { return false; }, kToolTimeoutMs);
  close(out[0]);
  int status = 0;
  if (!WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, 1000)) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : std::string();
}

}  // namespace

std::string RunTool(const std::vector<std::string>& argv) { return RunToolWith(argv, {}); }

TPrivateBus::TPrivateBus(const std::string& dir) {
  const std::string socket = dir + "/bus";
  const std::string config = dir + "/bus.conf";
  std::ofstream(config)
      << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig>\n"
         "  <type>session</type>\n"
         "  <listen>unix:path="
      << socket
      << "</listen>\n"
         "  <auth>EXTERNAL</auth>\n"
         "  <policy context=\"default\">\n"
         "    <allow user=\"*\"/>\n"
         "    <allow own=\"*\"/>\n"
         "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
         "    <allow eavesdrop=\"true\"/>\n"
         "  </policy>\n"
         "</busconfig>\n";
  // The socket must be reachable by the user VLC runs as.
  std::error_code ignored;
  fs::permissions(dir, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add,
                  ignored);
  Daemon_ = std::make_unique<TProcessGroup>(
      std::vector<std::string>{"dbus-daemon", "--config-file=" + config, "--nofork",
                               "--print-address"},
      Environment{}, dir + "/bus.log");
  const std::string address = "unix:path=" + socket;
  Address_ = address;
  if (!Daemon_->Started() ||
      !WaitUntil([&] { return HasName("org.freedesktop.DBus"); }, kStartTimeoutMs)) {
    Address_.clear();
  }
}

bool TPrivateBus::HasName(const std::string& name) const {
  return RunTool({"dbus-send", "--bus=" + Address_, "--print-reply=literal",
                  "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                  "org.freedesktop.DBus.NameHasOwner", "string:" + name})
             .find("true") != std::string::npos;
}

std::string TPrivateBus::Property(const std::string& name, const std::string& interface,
                                  const std::string& property) const {
  std::string text = RunTool({"dbus-send", "--bus=" + Address_, "--print-reply=literal",
                              "--dest=" + name, kMprisPath, "org.freedesktop.DBus.Properties.Get",
                              "string:" + interface, "string:" + property});
  // "   variant       boolean true\n"
  const std::size_t variant = text.find("variant");
  if (variant == std::string::npos) return std::string();
  text.erase(0, text.find_first_not_of(' ', variant + 7));
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

bool TPrivateBus::Call(const std::string& name, const std::string& method,
                       const std::vector<std::string>& arguments) const {
  std::vector<std::string> argv{"dbus-send",      "--bus=" + Address_, "--print-reply",
                                "--dest=" + name, kMprisPath,          method};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return !RunTool(argv).empty();
}

TMpv::TMpv(const TPlayerSetup& setup, const std::vector<std::string>& files,
           const std::vector<std::string>& options)
    : Socket_(setup.Dir + "/mpv.sock") {
  const std::string home = MakeHome(setup.Dir, "mpv-home");
  // Exact seeks: by default mpv lands a relative seek anywhere near its target.
  std::vector<std::string> argv{"mpv",
                                "--idle=yes",
                                "--no-video",
                                "--ao=null",
                                "--no-terminal",
                                "--hr-seek=yes",
                                "--input-ipc-server=" + Socket_};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back("--");
  argv.insert(argv.end(), files.begin(), files.end());
  Process_ = std::make_unique<TProcessGroup>(argv, HomeEnvironment(home, *setup.Bus),
                                             setup.Dir + "/mpv.log");
  Ready_ = Process_->Started() && WaitUntil(
                                      [&] {
                                        return Get("pid").has_value() &&
                                               setup.Bus->HasName(kBusName) &&
                                               (files.empty() || Get("path").has_value());
                                      },
                                      kStartTimeoutMs);
}

std::string TMpv::Request(const std::string& jsonArray) const {
  const int fd = ConnectUnix(Socket_);
  if (fd < 0) return std::string();
  std::string reply;
  if (WriteAll(fd, "{\"command\":" + jsonArray + ",\"request_id\":7}\n")) {
    // Events may come first, one line each; the answer is the line with our request id.
    const std::string text = ReadUntil(
        fd,
        [](const std::string& t) {
          const std::size_t id = t.find("\"request_id\":7");
          return id != std::string::npos && t.find('\n', id) != std::string::npos;
        },
        kSocketTimeoutMs);
    const std::size_t id = text.find("\"request_id\":7");
    if (id != std::string::npos) {
      const std::size_t start = text.rfind('\n', id);
      reply = text.substr(start == std::string::npos ? 0 : start + 1,
                          text.find('\n', id) - (start == std::string::npos ? 0 : start + 1));
    }
  }
  close(fd);
  return reply;
}

std::optional<std::string> TMpv::Get(const std::string& property) const {
  const std::string reply = Request("[\"get_property_string\"," + JsonQuoted(property) + "]");
  if (reply.find("\"error\":\"success\"") == std::string::npos) return std::nullopt;
  const std::size_t data = reply.find("\"data\":");
  if (data == std::string::npos) return std::nullopt;
  return JsonString(reply, data + 7);
}

std::optional<double> TMpv::Number(const std::string& property) const {
  const std::optional<std::string> text = Get(property);
  if (!text) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text->c_str(), &end);
  if (end == text->c_str()) return std::nullopt;
  return value;
}

bool TMpv::Set(const std::string& property, const std::string& value) const {
  return Command("[\"set_property_string\"," + JsonQuoted(property) + "," + JsonQuoted(value) +
                 "]");
}

bool TMpv::Command(const std::string& jsonArray) const {
  return Request(jsonArray).find("\"error\":\"success\"") != std::string::npos;
}

TVlc::TVlc(const TPlayerSetup& setup, const std::vector<std::string>& files) {
  const std::string home = MakeHome(setup.Dir, "vlc-home");
  Socket_ = home + "/rc.sock";
  std::vector<std::string> argv;
  if (geteuid() == 0) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(home, ignored)) {
      lchown(entry.path().c_str(), kNobody, kNobody);
    }
    lchown(home.c_str(), kNobody, kNobody);
    // The change of user clears the parent-death signal: setpriv sets it again.
    argv = {"setpriv",
            "--reuid=" + std::to_string(kNobody),
            "--regid=" + std::to_string(kNobody),
            "--clear-groups",
            "--pdeathsig",
            "SIGKILL"};
  }
  const std::vector<std::string> vlc{"cvlc",          "-I",        "dummy",
                                     "--no-dbus",     "--control", "dbus",
                                     "--extraintf",   "oldrc",     "--rc-unix=" + Socket_,
                                     "--rc-fake-tty", "--aout",    "dummy",
                                     "--no-video"};
  argv.insert(argv.end(), vlc.begin(), vlc.end());
  argv.insert(argv.end(), files.begin(), files.end());
  Process_ = std::make_unique<TProcessGroup>(argv, HomeEnvironment(home, *setup.Bus),
                                             setup.Dir + "/vlc.log");
  Ready_ = Process_->Started() && WaitUntil(
                                      [&] {
                                        return setup.Bus->HasName(kBusName) &&
                                               fs::exists(Socket_) &&
                                               (files.empty() || !CurrentInput().empty());
                                      },
                                      kStartTimeoutMs);
}

std::string TVlc::Rc(const std::string& command) const {
  const int fd = ConnectUnix(Socket_);
  if (fd < 0) return std::string();
  std::string text;
  // logout closes the connection once the command has answered.
  if (WriteAll(fd, command + "\nlogout\n")) {
    text = ReadUntil(
        fd, [](const std::string&) { return false; }, kSocketTimeoutMs);
  }
  close(fd);
  return text;
}

std::vector<std::string> TVlc::PlaylistTitles() const {
  // "|  - Title (00:24)" for each entry of the "Playlist" node, before "|- Media Library".
  std::vector<std::string> titles;
  const std::string text = Rc("playlist");
  std::size_t at = text.find("|- Playlist");
  const std::size_t end = text.find("|- Media Library");
  while (at != std::string::npos && at < end) {
    const std::size_t line = text.find("\n|  ", at);
    if (line == std::string::npos || line >= end) break;
    std::string entry = text.substr(line + 4, text.find('\n', line + 1) - line - 4);
    while (!entry.empty() && entry.back() == '\r') entry.pop_back();
    entry.erase(0, entry.find_first_not_of("*- "));
    const std::size_t duration = entry.rfind(" (");
    if (duration != std::string::npos) entry.erase(duration);
    titles.push_back(entry);
    at = line + 1;
  }
  return titles;
}

std::string TVlc::CurrentInput() const {
  const std::string text = Rc("status");
  const std::string marker = "new input: ";
  const std::size_t at = text.rfind(marker);
  if (at == std::string::npos) return std::string();
  const std::size_t end = text.find(" )", at);
  return text.substr(at + marker.size(), end - at - marker.size());
}

bool TVlc::Playing() const {
  // "status change: ( play state: 3 )", or "stop" or "pause"; the last one counts.
  const std::string text = Rc("status");
  const std::size_t state = text.rfind(" state: ");
  return state != std::string::npos && state >= 4 && text.compare(state - 4, 4, "play") == 0;
}

TAudacious::TAudacious(const TPlayerSetup& setup, const std::vector<std::string>& files) {
  const std::string home = MakeHome(setup.Dir, "audacious-home");
  std::vector<std::string> argv{"audacious", "-H"};
  argv.insert(argv.end(), files.begin(), files.end());
  Environment_ = HomeEnvironment(home, *setup.Bus);
  Process_ = std::make_unique<TProcessGroup>(argv, Environment_, setup.Dir + "/audacious.log");
  Ready_ = Process_->Started() &&
           WaitUntil([&] { return setup.Bus->HasName(kBusName) && !Audtool({"version"}).empty(); },
                     kStartTimeoutMs);
}

std::string TAudacious::Audtool(const std::vector<std::string>& arguments) const {
  std::vector<std::string> argv{"audtool"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::string text = RunToolWith(argv, Environment_);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

TLoopbackHttp::TLoopbackHttp(std::string body, std::string contentType)
    : Body_(std::move(body)), ContentType_(std::move(contentType)) {
  Listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (Listener_ < 0 || bind(Listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      listen(Listener_, 8) != 0 ||
      getsockname(Listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    if (Listener_ >= 0) close(Listener_);
    Listener_ = -1;
    return;
  }
  Port_ = ntohs(address.sin_port);
  Thread_ = std::thread([this] { Serve(); });
}

TLoopbackHttp::~TLoopbackHttp() {
  if (Listener_ < 0) return;
  shutdown(Listener_, SHUT_RDWR);  // wakes accept
  Thread_.join();
  close(Listener_);
}

std::string TLoopbackHttp::Url(const std::string& name) const {
  if (Listener_ < 0) return std::string();
  return "http://127.0.0.1:" + std::to_string(Port_) + "/" + name;
}

void TLoopbackHttp::Serve() {
  for (;;) {
    const int client = accept4(Listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) {
      if (errno == EINTR) continue;
      return;
    }
    ReadUntil(
        client, [](const std::string& t) { return t.find("\r\n\r\n") != std::string::npos; },
        kSocketTimeoutMs);
    WriteAll(client, "HTTP/1.0 200 OK\r\nContent-Type: " + ContentType_ + "\r\nContent-Length: " +
                         std::to_string(Body_.size()) + "\r\nConnection: close\r\n\r\n" + Body_);
    close(client);
  }
}

std::string FileUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b) != 0 && b < 0x80) {
      uri += c;
    } else if (c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[b >> 4];
      uri += kHex[b & 15];
    }
  }
  return uri;
}

}  // namespace jarvet::testing
