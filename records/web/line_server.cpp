// The line view's HTTP server. The library is kept to this one file: it is
// slow to compile. Requests reach the site one at a time (its store is one
// connection); SIGINT and SIGTERM are taken by a thread of their own, which
// stops the server so that the program ends cleanly.
#include "records/web/line_server.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <cctype>
#include <charconv>
#include <mutex>
#include <thread>

#include "framework/text_format.h"
#include "frontend/exit_codes.h"
#include "records/web/line_strings.h"

namespace records::web {
namespace {

constexpr std::size_t kWorkers = 4;  // connections held open at once; the site still answers one at a time

WebRequest ToWebRequest(const httplib::Request& req) {
  WebRequest r;
  r.path = req.path;
  for (const auto& [name, value] : req.params) r.query.emplace(name, value);
  r.acceptLanguage = req.get_header_value("Accept-Language");
  r.authorization = req.get_header_value("Authorization");
  return r;
}

// Takes SIGINT and SIGTERM for the server's life: blocked in every thread,
// waited for by one.
class SignalStop {
 public:
  explicit SignalStop(httplib::Server& server) : m_server(server) {
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    m_thread = std::thread([this] { Wait(); });
  }
  ~SignalStop() {
    m_done = true;
    m_thread.join();
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
  }
  SignalStop(const SignalStop&) = delete;
  SignalStop& operator=(const SignalStop&) = delete;

  int Signal() const { return m_signal; }

 private:
  void Wait() {
    const timespec tick{0, 100'000'000};
    while (!m_done) {
      const int sig = sigtimedwait(&m_set, nullptr, &tick);
      if (sig == SIGINT || sig == SIGTERM) {
        m_signal = sig;
        m_server.stop();
        return;
      }
    }
  }

  httplib::Server& m_server;
  sigset_t m_set{};
  sigset_t m_old{};
  std::atomic<bool> m_done{false};
  std::atomic<int> m_signal{0};
  std::thread m_thread;
};

}  // namespace

std::optional<ListenAddress> ParseListen(std::string_view text) {
  std::string_view host;
  std::string_view port;
  if (text.starts_with("[")) {
    const std::size_t close = text.find("]:");
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || text.find(':') != colon) return std::nullopt;
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
  }
  if (host.empty() || host.size() > 255) return std::nullopt;
  for (const char c : host)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != ':' && c != '-') return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
    return std::nullopt;
  return ListenAddress{std::string(host), value};
}

bool IsLoopback(std::string_view host) {
  if (host == "localhost" || host == "::1") return true;
  if (!host.starts_with("127.")) return false;
  // 127.a.b.c with each part a number: the whole 127.0.0.0/8 is this computer's.
  int parts = 2;  // 127 and the one after its dot
  for (const char c : host.substr(4)) {
    if (c == '.') ++parts;
    else if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return parts == 4;
}

int ServeLine(LineSite& site, const ListenAddress& address, std::string_view storeName, const fe::Console& console) {
  httplib::Server server;
  std::mutex one;
  server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server.set_payload_max_length(64 * 1024);
  // The library's default shares the port (SO_REUSEPORT) with a server already
  // on it: a second line view would start without a word. Only a closing
  // one's lingering connections may be reused.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  const auto answer = [&](const httplib::Request& req, httplib::Response& res) {
    WebResponse out;
    {
      const std::lock_guard<std::mutex> lock(one);
      out = site.Handle(ToWebRequest(req));
    }
    res.status = out.status;
    // Nothing but the page itself: no script, no frames, nothing fetched elsewhere.
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; style-src 'unsafe-inline'; img-src 'self'; form-action 'self'; "
                   "frame-ancestors 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Cache-Control", "no-store");
    if (out.status == 401) res.set_header("WWW-Authenticate", "Bearer");
    res.set_content(out.body, out.contentType.c_str());
  };
  server.Get(".*", answer);
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    res.status = 500;
    res.set_content("", "text/plain");
  });

  const std::string shown =
      address.host.find(':') != std::string::npos ? "[" + address.host + "]:" + std::to_string(address.port)
                                                  : address.host + ":" + std::to_string(address.port);
  SignalStop stop(server);
  if (!server.bind_to_port(address.host, address.port)) {
    console.err << fw::FormatText(LineString(console.language, IDS_LINE_CANNOT_LISTEN),
                                  {shown, LineString(console.language, IDS_LINE_ADDRESS_IN_USE)})
                << '\n';
    return fe::kExitPortFailed;
  }
  console.out << fw::FormatText(LineString(console.language, IDS_LINE_SERVING), {storeName, shown}) << '\n';
  console.out.flush();
  server.listen_after_bind();
  const int sig = stop.Signal();
  console.out << fw::FormatText(LineString(console.language, IDS_LINE_ENDED),
                                {sig == SIGTERM ? "SIGTERM" : sig == SIGINT ? "SIGINT" : "-"})
              << '\n';
  return fe::kExitDone;
}

}  // namespace records::web
