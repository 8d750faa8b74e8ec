// A live now-playing server for stream overlays, on the HTTP library: one poller thread asks the
// source, every request is answered from its last state.
#include "NowServer.h"

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "Connections.h"
#include "HttpRules.h"
#include "OverlayPage.h"
#include "Unicode.h"

namespace jarvet {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr std::size_t kMaxRequestHead = 8192;  // request line and headers together
// A position further than this from where the clock would have taken it is a seek: news.
constexpr std::int64_t kJumpMs = 1500;
constexpr milliseconds kControlWait{30000};  // the player's own bound is 10 s per message
// Threads beyond the connection bound, so that refusing one never waits for a thread.
constexpr std::size_t kSpareThreads = 8;
constexpr std::size_t kKeepAliveRequests = 1000;
constexpr std::time_t kIdleSeconds = 1;
constexpr char kEventRetry[] = "retry: 1000\n\n";
constexpr char kCors[] = "Access-Control-Allow-Origin";
constexpr char kRefusal[] =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

// The control routes and whether they take a value, and under which name.
struct TAction {
  const char* Name;
  const char* ValueName;  // nullptr: none
};
constexpr TAction kActions[] = {{"play", nullptr},  {"pause", nullptr}, {"toggle", nullptr},
                                {"stop", nullptr},  {"next", nullptr},  {"prev", nullptr},
                                {"volume", "value"}, {"seekby", "by"}};

std::int64_t UnixMs() {
  return std::chrono::duration_cast<milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A thread per connection, made when one is needed and kept for the next, up to a bound.
class TGrowingPool : public httplib::TaskQueue {
 public:
  explicit TGrowingPool(std::size_t max) : Max_(max) {}

  void enqueue(std::function<void()> job) override {
    std::unique_lock<std::mutex> lock(Mutex_);
    Jobs_.push_back(std::move(job));
    if (Idle_ < Jobs_.size() && Threads_.size() < Max_) {
      try {
        Threads_.emplace_back([this] { Work(); });
        return;
      } catch (const std::system_error&) {
        // No thread to be had now: the job waits for one that is.
      }
    }
    lock.unlock();
    Ready_.notify_one();
  }

  void shutdown() override {
    {
      std::lock_guard<std::mutex> lock(Mutex_);
      Stopping_ = true;
    }
    Ready_.notify_all();
    for (std::thread& thread : Threads_) thread.join();
  }

 private:
  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock<std::mutex> lock(Mutex_);
        ++Idle_;
        Ready_.wait(lock, [this] { return !Jobs_.empty() || Stopping_; });
        --Idle_;
        if (Jobs_.empty()) return;
        job = std::move(Jobs_.front());
        Jobs_.pop_front();
      }
      job();
    }
  }

  const std::size_t Max_;
  std::mutex Mutex_;
  std::condition_variable Ready_;
  std::deque<std::function<void()>> Jobs_;
  std::vector<std::thread> Threads_;
  std::size_t Idle_ = 0;
  bool Stopping_ = false;
};

// A request's reads, stopped past a hard bound: a head without end is never all buffered.
class THeadBoundStream : public httplib::Stream {
 public:
  explicit THeadBoundStream(httplib::Stream& inner) : Inner_(inner) {}
  bool is_readable() const override { return Inner_.is_readable(); }
  bool is_writable() const override { return Inner_.is_writable(); }
  ssize_t read(char* ptr, size_t size) override {
    if (Read_ >= kHardHeadBound) return -1;
    const ssize_t got = Inner_.read(ptr, std::min(size, kHardHeadBound - Read_));
    if (got > 0) Read_ += static_cast<std::size_t>(got);
    return got;
  }
  ssize_t write(const char* ptr, size_t size) override { return Inner_.write(ptr, size); }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    Inner_.get_remote_ip_and_port(ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    Inner_.get_local_ip_and_port(ip, port);
  }
  socket_t socket() const override { return Inner_.socket(); }

 private:
  // Twice the bound: a head just past it still gets its 431, one far past is cut off.
  static constexpr std::size_t kHardHeadBound = 2 * kMaxRequestHead;
  httplib::Stream& Inner_;
  std::size_t Read_ = 0;
};

// The library's server with the connection bound, the request deadline and the head bound.
class TBoundedServer : public httplib::Server {
 public:
  explicit TBoundedServer(TConnectionGuard& guard) : Guard_(guard) {}

 private:
  bool process_and_close_socket(socket_t sock) override {
    if (!Guard_.Enter(static_cast<TSocketHandle>(sock))) {
      send(sock, kRefusal, static_cast<int>(sizeof kRefusal - 1), 0);
      httplib::detail::shutdown_socket(sock);
      httplib::detail::close_socket(sock);
      return false;
    }
    // As the library's own, with each request's stream bounded, and the guard let go before the
    // socket is closed.
    const bool served = httplib::detail::process_server_socket_core(
        svr_sock_, sock, keep_alive_max_count_, keep_alive_timeout_sec_,
        [&](bool closeConnection, bool& connectionClosed) {
          httplib::detail::SocketStream socketStream(sock, read_timeout_sec_, read_timeout_usec_,
                                                     write_timeout_sec_, write_timeout_usec_);
          THeadBoundStream stream(socketStream);
          return process_request(stream, closeConnection, connectionClosed, nullptr);
        });
    Guard_.Leave();
    httplib::detail::shutdown_socket(sock);
    httplib::detail::close_socket(sock);
    return served;
  }

  TConnectionGuard& Guard_;
};

struct TControlJob {
  std::string Action, Value;
  std::optional<TControlResult> Result;
};

std::size_t RequestHeadSize(const httplib::Request& request) {
  std::size_t size = request.method.size() + request.target.size() + request.version.size() + 4;
  for (const auto& [name, value] : request.headers) {
    // The library adds these itself.
    if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
        name == "LOCAL_PORT") {
      continue;
    }
    size += name.size() + value.size() + 4;
  }
  return size;
}

bool HasBody(const httplib::Request& request) {
  const std::string length = request.get_header_value("Content-Length");
  return (!length.empty() && length != "0") || request.has_header("Transfer-Encoding");
}

}  // namespace

struct TNowServer::TImpl {
  TImpl(TNowSource& source, TServeOptions options)
      : Source(source),
        Options(std::move(options)),
        Guard(Options.MaxConnections, Options.RequestTime),
        Http(Guard) {}

  TNowSource& Source;
  const TServeOptions Options;
  TConnectionGuard Guard;
  TBoundedServer Http;
  int BoundPort = 0;
  std::thread Listener, Poller;

  std::mutex Mutex;
  std::condition_variable Changed;  // viewers wait on it
  std::condition_variable Wake;     // the poller waits on it
  std::condition_variable Answered;
  bool Stopping = false;
  TNowState State;
  std::uint64_t Version = 0;  // counts changes
  std::int64_t UpdatedMs = 0;
  steady_clock::time_point PolledAt;
  std::string CoverTag;
  std::deque<std::shared_ptr<TControlJob>> Controls;

  void Publish(TNowState state) {
    const auto now = steady_clock::now();
    std::lock_guard<std::mutex> lock(Mutex);
    bool changed = Version == 0 || state.Steady != State.Steady ||
                   state.PositionMs.has_value() != State.PositionMs.has_value();
    if (!changed && state.PositionMs) {
      std::int64_t expected = *State.PositionMs;
      if (State.Advancing) {
        expected += std::chrono::duration_cast<milliseconds>(now - PolledAt).count();
      }
      changed = std::max(*state.PositionMs, expected) - std::min(*state.PositionMs, expected) >
                kJumpMs;
    }
    if (state.Cover != State.Cover) CoverTag = state.Cover ? EntityTag(*state.Cover) : "";
    State = std::move(state);
    PolledAt = now;
    if (changed) {
      ++Version;
      UpdatedMs = UnixMs();
      Changed.notify_all();
    }
  }

  void Poll() {
    auto next = steady_clock::now() + Options.Poll;
    for (;;) {
      std::deque<std::shared_ptr<TControlJob>> jobs;
      {
        std::unique_lock<std::mutex> lock(Mutex);
        Wake.wait_until(lock, next, [this] { return Stopping || !Controls.empty(); });
        if (Stopping) return;
        jobs.swap(Controls);
      }
      for (const auto& job : jobs) {
        const TControlResult result = Source.Control(job->Action, job->Value);
        std::lock_guard<std::mutex> lock(Mutex);
        job->Result = result;
      }
      if (!jobs.empty()) Answered.notify_all();
      Publish(Source.Poll());
      const auto now = steady_clock::now();
      if (now >= next) {
        next += Options.Poll;
        if (next < now) next = now + Options.Poll;  // a slow player: no catching up
      }
    }
  }

  // The object as /now.json and the event stream give it; with a template, its text too.
  bool CurrentJson(const httplib::Request& request, std::string& json, std::string& error) {
    std::shared_ptr<const TTextFiller> filler;
    {
      std::lock_guard<std::mutex> lock(Mutex);
      json = WithMember(State.Json, "updated", std::to_string(UpdatedMs));
      filler = State.Text;
    }
    if (!request.has_param("template")) return true;
    std::string text;
    if (filler && !filler->Fill(request.get_param_value("template"), text, error)) return false;
    std::string quoted;
    AppendJsonString(quoted, text);
    json = WithMember(json, "text", quoted);
    return true;
  }

  void Page(httplib::Response& response) {
    response.set_content(kOverlayPage, "text/html; charset=utf-8");
  }

  void NowJson(const httplib::Request& request, httplib::Response& response) {
    std::string json, error;
    if (!CurrentJson(request, json, error)) {
      response.status = 400;
      response.set_content(error + "\n", "text/plain; charset=utf-8");
      return;
    }
    response.set_header("Cache-Control", "no-store");
    response.set_content(json, "application/json");
  }

  void Art(const httplib::Request& request, httplib::Response& response) {
    std::shared_ptr<const std::string> cover;
    std::string type, tag;
    {
      std::lock_guard<std::mutex> lock(Mutex);
      cover = State.Cover;
      type = State.CoverType;
      tag = CoverTag;
    }
    response.set_header("Cache-Control", "no-cache");
    if (!cover) {
      if (request.get_param_value("fallback") == "1") {
        response.set_content(std::string(TransparentPng()), "image/png");
      } else {
        response.status = 404;
      }
      return;
    }
    response.set_header("ETag", tag);
    if (request.get_header_value("If-None-Match") == tag) {
      response.status = 304;
      return;
    }
    response.set_content(*cover, type);
  }

  void Events(const httplib::Request& request, httplib::Response& response) {
    std::string opening, problem;
    if (!CurrentJson(request, opening, problem)) {  // a bad template is told before the stream
      response.status = 400;
      response.set_content(problem + "\n", "text/plain; charset=utf-8");
      return;
    }
    response.set_header("Cache-Control", "no-store");
    const std::string templateText = request.get_param_value("template");
    const bool withText = request.has_param("template");
    auto sent = std::make_shared<std::optional<std::uint64_t>>();
    response.set_chunked_content_provider(
        "text/event-stream", [this, sent, templateText, withText](std::size_t,
                                                                  httplib::DataSink& sink) {
          std::unique_lock<std::mutex> lock(Mutex);
          if (*sent) {
            Changed.wait_for(lock, Options.KeepAlive,
                             [&] { return Stopping || Version != **sent; });
          }
          if (Stopping) return false;
          if (*sent && Version == **sent) {
            lock.unlock();
            return sink.write(": keep-alive\n\n", 15);
          }
          const bool first = !*sent;
          *sent = Version;
          std::string json = WithMember(State.Json, "updated", std::to_string(UpdatedMs));
          const std::shared_ptr<const TTextFiller> filler = State.Text;
          lock.unlock();
          if (withText) {
            std::string text, error;
            if (filler) filler->Fill(templateText, text, error);
            std::string quoted;
            AppendJsonString(quoted, text);
            json = WithMember(json, "text", quoted);
          }
          std::string message = first ? kEventRetry : "";
          message += EventMessage(json);
          return sink.write(message.data(), message.size());
        });
  }

  void Control(const httplib::Request& request, httplib::Response& response,
               const TAction& action) {
    std::string token = request.get_param_value("token");
    if (const auto bearer = BearerToken(request.get_header_value("Authorization"))) {
      token = *bearer;
    }
    if (!SameSecret(token, Options.Token)) {
      response.status = 401;
      response.set_header("WWW-Authenticate", "Bearer");
      return;
    }
    auto job = std::make_shared<TControlJob>();
    job->Action = action.Name;
    if (action.ValueName != nullptr) job->Value = request.get_param_value(action.ValueName);
    std::unique_lock<std::mutex> lock(Mutex);
    Controls.push_back(job);
    Wake.notify_one();
    if (!Answered.wait_for(lock, kControlWait, [&] { return job->Result.has_value() || Stopping; }) ||
        !job->Result) {
      response.status = 503;
      return;
    }
    switch (*job->Result) {
      case TControlResult::Done: response.status = 204; break;
      case TControlResult::BadValue: response.status = 400; break;
      case TControlResult::NothingPlaying: response.status = 409; break;
      case TControlResult::NoPlayer: response.status = 503; break;
      case TControlResult::NotOffered: response.status = 501; break;
    }
  }

  void Route(const httplib::Request& request, httplib::Response& response) {
    const bool get = request.method == "GET" || request.method == "HEAD";
    if (get) response.set_header(kCors, "*");
    if (!IsAllowedHost(request.get_header_value("Host"))) {
      response.status = 421;
      response.set_content("This server answers to localhost and IP addresses only.\n",
                           "text/plain");
      return;
    }
    if (RequestHeadSize(request) > kMaxRequestHead) {
      response.status = 431;
      return;
    }
    const std::string& path = request.path;
    const char* allowed = "GET, HEAD";
    if (path == "/" || path == "/now.json" || path == "/art" || path == "/events") {
      if (get) {
        if (path == "/") Page(response);
        if (path == "/now.json") NowJson(request, response);
        if (path == "/art") Art(request, response);
        if (path == "/events") Events(request, response);
        return;
      }
    } else if (path.rfind("/control/", 0) == 0) {
      const std::string name = path.substr(9);
      const auto action = std::find_if(std::begin(kActions), std::end(kActions),
                                       [&](const TAction& a) { return name == a.Name; });
      if (action == std::end(kActions)) {
        response.status = 404;
        return;
      }
      if (request.method == "POST") {
        Control(request, response, *action);
        return;
      }
      allowed = "POST";
      response.headers.erase(kCors);
    } else {
      response.status = 404;
      return;
    }
    response.status = 405;
    response.set_header("Allow", allowed);
  }
};

TNowServer::TNowServer(TNowSource& source, TServeOptions options)
    : Impl_(std::make_unique<TImpl>(source, std::move(options))) {}

TNowServer::~TNowServer() { Stop(); }

bool TNowServer::Start(std::string& error) {
  TImpl& s = *Impl_;
  s.Publish(s.Source.Poll());
  httplib::Server& http = s.Http;
  const std::size_t threads = static_cast<std::size_t>(s.Options.MaxConnections) + kSpareThreads;
  http.new_task_queue = [threads] { return new TGrowingPool(threads); };
  // The guard ends a connection at its deadline; the library's own timeouts, a second later,
  // only back it up.
  const auto backupSeconds =
      1 + std::chrono::duration_cast<std::chrono::seconds>(s.Options.RequestTime).count();
  http.set_read_timeout(backupSeconds);
  // An idle connection is let go after a second: a page's requests come together, and the
  // library polls a connection every 10 ms while it waits for the next request.
  http.set_keep_alive_timeout(kIdleSeconds);
  http.set_keep_alive_max_count(kKeepAliveRequests);
  // An answer's head and body go out in two writes: without this the second waits for the
  // client's delayed acknowledgement of the first, some 40 ms.
  http.set_tcp_nodelay(true);
  http.set_socket_options([](socket_t sock) { SetListenOptions(static_cast<TSocketHandle>(sock)); });
  http.set_pre_routing_handler([&s](const httplib::Request& request, httplib::Response& response) {
    s.Guard.RequestArrived();
    s.Route(request, response);
    if (HasBody(request)) response.set_header("Connection", "close");
    return httplib::Server::HandlerResponse::Handled;
  });
  http.set_logger([&s](const httplib::Request& request, const httplib::Response& response) {
    // After a request that did not read, what follows on the connection cannot be trusted.
    const bool unread = response.status == 400 || response.status == 414 || response.status == 431;
    s.Guard.ResponseWritten(unread || HasBody(request) ||
                            response.get_header_value("Connection") == "close");
  });
  if (s.Options.Port == 0) {
    s.BoundPort = http.bind_to_any_port(s.Options.Address);
  } else if (http.bind_to_port(s.Options.Address, s.Options.Port)) {
    s.BoundPort = s.Options.Port;
  }
  if (s.BoundPort <= 0) {
    error = "cannot listen on " + s.Options.Address + ":" + std::to_string(s.Options.Port) +
            ": the port is in use, or the address is not this machine's";
    return false;
  }
  s.Poller = std::thread([&s] { s.Poll(); });
  s.Listener = std::thread([&http] { http.listen_after_bind(); });
  // Until it runs, a stop would not reach its accept loop.
  while (!http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

int TNowServer::Port() const { return Impl_->BoundPort; }

void TNowServer::Stop() {
  TImpl& s = *Impl_;
  {
    std::lock_guard<std::mutex> lock(s.Mutex);
    s.Stopping = true;
  }
  s.Changed.notify_all();
  s.Wake.notify_all();
  s.Answered.notify_all();
  if (s.Listener.joinable()) {
    s.Http.stop();
    // A connection waiting for its next request would keep its thread up to the deadline.
    s.Guard.EndAll();
    s.Listener.join();
  }
  if (s.Poller.joinable()) s.Poller.join();
}

}  // namespace jarvet
