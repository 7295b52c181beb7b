#include "proxy/server.h"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "proxy/loop_stream.h"
#include "proxy/metrics_endpoint.h"
#include "proxy/session.h"
#include "proxy/tls.h"

namespace orv::proxy {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

constexpr std::size_t kMaxIdleUpstreamConnections = 256;

// One event loop per worker thread, each run by that thread alone, as an event-driven server
// runs one process per core: a connection lives on one loop from accept to close, so its
// steps need no lock and never wake another thread. The first loop also owns the listener
// and the signals, and hands each accepted connection to the loops in turn.
class EventLoops {
 public:
  explicit EventLoops(unsigned count) {
    for (unsigned i = 0; i < std::max(count, 1u); ++i) {
      loops_.push_back(std::make_unique<asio::io_context>(1));
      guards_.emplace_back(loops_.back()->get_executor());
    }
  }
  asio::io_context& First() { return *loops_.front(); }
  asio::io_context& Next() { return *loops_[next_++ % loops_.size()]; }
  // Runs every loop, the first on the calling thread, until Stop.
  void Run() {
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < loops_.size(); ++i)
      workers.emplace_back([loop = loops_[i].get()] { loop->run(); });
    loops_.front()->run();
    for (std::thread& worker : workers) worker.join();
  }
  // From any thread.
  void Stop() {
    for (auto& loop : loops_) loop->stop();
  }

 private:
  std::vector<std::unique_ptr<asio::io_context>> loops_;
  // An idle loop must not return from run() before the stop.
  std::vector<asio::executor_work_guard<asio::io_context::executor_type>> guards_;
  std::size_t next_ = 0;  // only touched by the accepting coroutine
};

}  // namespace

class ProxyServer::Impl {
 public:
  Impl(const ProxyOptions& options, ScreeningEngine& engine, bool handleSignals)
      : options_(options),
        context_(options, engine),
        loops_(options.threads),
        graceTimer_(loops_.First()) {
    if (handleSignals) signals_.emplace(loops_.First(), SIGHUP, SIGTERM, SIGINT);
  }
  ~Impl() { JoinReload(); }

  bool Prepare();
  int Run();
  std::uint16_t Port(std::size_t listener) const;
  std::uint16_t MetricsPort() const { return metrics_ ? metrics_->Port() : 0; }
  void Stop();
  void Reload();

 private:
  struct Listener {
    explicit Listener(asio::io_context& loop, bool secure) : acceptor(loop), tls(secure) {}
    tcp::acceptor acceptor;
    bool tls;
  };

  bool OpenListener(const ListenAddress& address);
  bool LoadCertificate();
  LoopAwaitable<void> Accept(Listener& listener);
  void Register(const std::shared_ptr<SessionBase>& session);
  LoopAwaitable<void> WatchSignals();
  void BeginStop();
  std::string Describe() const;
  void ReloadUntilDone();
  void JoinReload();

  const ProxyOptions& options_;
  std::optional<UpstreamPool> pool_;
  std::optional<StaticSite> site_;
  ServerContext context_;
  EventLoops loops_;
  // The listeners, the signals and the timer live on the first loop.
  std::vector<std::unique_ptr<Listener>> listeners_;
  // The TLS listeners' certificate and key, as last read successfully. Only the first loop
  // reads or replaces it: the accepting coroutines and the reload run there. A connection
  // holds the one it was accepted with.
  std::shared_ptr<asio::ssl::context> certificate_;
  std::optional<asio::signal_set> signals_;
  asio::steady_timer graceTimer_;
  std::optional<MetricsEndpoint> metrics_;  // --metrics, on the first loop

  // A reload compiles every keyword list, which takes long enough to stall every connection
  // on an event loop; it runs on a thread of its own. A reload asked for while one runs is
  // done once more after it, so the last edit of the settings is always read.
  std::mutex reloadMutex_;
  std::thread reloader_;
  bool reloading_ = false;
  bool reloadAgain_ = false;
};

bool ProxyServer::Impl::Prepare() {
  boost::system::error_code ec;
  if (options_.UsesUpstream()) {
    tcp::resolver resolver(loops_.First());
    auto results = resolver.resolve(options_.upstreamHost, options_.upstreamPort, ec);
    if (ec || results.empty()) {
      std::fprintf(stderr, "orvproxy: cannot resolve upstream %s:%s: %s\n",
                   options_.upstreamHost.c_str(), options_.upstreamPort.c_str(),
                   ec.message().c_str());
      return false;
    }
    std::vector<tcp::endpoint> endpoints;
    for (const auto& entry : results) endpoints.push_back(entry.endpoint());
    if (options_.upstreamTls) {
      std::string error;
      std::shared_ptr<asio::ssl::context> tls = MakeUpstreamTlsContext(options_.upstreamCa, error);
      if (!tls) {
        std::fprintf(stderr, "orvproxy: %s\n", error.c_str());
        return false;
      }
      pool_.emplace(std::move(endpoints), kMaxIdleUpstreamConnections, std::move(tls),
                    options_.upstreamHost);
    } else {
      pool_.emplace(std::move(endpoints), kMaxIdleUpstreamConnections);
    }
    context_.pool = &*pool_;
  } else {
    site_.emplace(options_.siteRoot);
    if (!site_->Valid()) {
      std::fprintf(stderr, "orvproxy: --root %s is not a folder\n", options_.siteRoot.c_str());
      return false;
    }
    context_.site = &*site_;
  }

  if (options_.HasTlsListener() && !LoadCertificate()) return false;
  for (const ListenAddress& address : options_.listeners)
    if (!OpenListener(address)) return false;
  if (options_.metrics) {
    metrics_.emplace(loops_.First(), context_.metrics, options_.clientTimeout);
    if (!metrics_->Open(*options_.metrics)) return false;
  }
  return true;
}

bool ProxyServer::Impl::LoadCertificate() {
  std::string error;
  std::shared_ptr<asio::ssl::context> loaded =
      MakeServerTlsContext(options_.tlsCertificate, options_.tlsKey, error);
  if (!loaded) {
    std::fprintf(stderr, "orvproxy: %s%s\n", error.c_str(),
                 certificate_ ? "; still serving the certificate read before" : "");
    std::fflush(stderr);
    return false;
  }
  const bool replaced = certificate_ != nullptr;
  certificate_ = std::move(loaded);
  if (replaced) {
    std::fprintf(stderr, "orvproxy: certificate reloaded from %s\n",
                 options_.tlsCertificate.c_str());
    std::fflush(stderr);
  }
  return true;
}

bool ProxyServer::Impl::OpenListener(const ListenAddress& address) {
  boost::system::error_code ec;
  tcp::resolver resolver(loops_.First());
  auto listen = resolver.resolve(address.host, std::to_string(address.port),
                                 tcp::resolver::passive | tcp::resolver::numeric_service, ec);
  if (ec || listen.empty()) {
    std::fprintf(stderr, "orvproxy: cannot listen on %s:%u: %s\n", address.host.c_str(),
                 address.port, ec.message().c_str());
    return false;
  }
  auto listener = std::make_unique<Listener>(loops_.First(), address.tls);
  tcp::acceptor& acceptor = listener->acceptor;
  tcp::endpoint endpoint = listen.begin()->endpoint();
  acceptor.open(endpoint.protocol(), ec);
  if (!ec) acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor.bind(endpoint, ec);
  if (!ec) acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    std::fprintf(stderr, "orvproxy: cannot listen on %s:%u: %s\n", address.host.c_str(),
                 address.port, ec.message().c_str());
    return false;
  }
  listeners_.push_back(std::move(listener));
  return true;
}

std::string ProxyServer::Impl::Describe() const {
  std::string line = "orvproxy: listening on ";
  for (const auto& listener : listeners_) {
    boost::system::error_code ec;
    tcp::endpoint bound = listener->acceptor.local_endpoint(ec);
    std::string address = bound.address().is_v6() ? "[" + bound.address().to_string() + "]"
                                                  : bound.address().to_string();
    line += address + ":" + std::to_string(bound.port()) + (listener->tls ? " (TLS)" : "") + ", ";
  }
  if (metrics_) line += "metrics on " + metrics_->BoundAddress() + ", ";
  line += "settings from " + options_.settingsDirectory + ", ";
  if (options_.UsesUpstream())
    line += std::string("forwarding to ") + (options_.upstreamTls ? "https://" : "http://") +
            options_.upstreamHost + ":" + options_.upstreamPort;
  else
    line += "serving " + site_->Root().string();
  line += ", filtering ";
  line += context_.engine.FilteringOn() ? "on" : "off";
  const filter::LoadOutcome load = context_.engine.Health().lastLoad;
  if (!load.ok) line += " (settings load failed: " + load.reason + ")";
  return line;
}

LoopAwaitable<void> ProxyServer::Impl::Accept(Listener& listener) {
  tcp::acceptor& acceptor = listener.acceptor;
  for (;;) {
    boost::system::error_code ec;
    LoopSocket socket =
        co_await acceptor.async_accept(loops_.Next(), asio::redirect_error(kUseLoopAwaitable, ec));
    if (ec == asio::error::operation_aborted || !acceptor.is_open() || context_.stopping) co_return;
    if (ec) {
      // Out of descriptors or a connection reset before it was taken: wait a moment, go on.
      asio::steady_timer pause(loops_.First(), std::chrono::milliseconds(50));
      co_await pause.async_wait(asio::redirect_error(kUseLoopAwaitable, ec));
      continue;
    }
    bool full = false;
    {
      std::lock_guard lock(context_.mutex);
      full = options_.maxConnections != 0 && context_.sessions.size() >= options_.maxConnections;
    }
    if (full) {
      // Past the limit a connection costs its descriptor only for this long; the client sees
      // it closed and may try again.
      socket.close(ec);
      continue;
    }
    // Heads and bodies go out in as few writes as the framing allows; Nagle's delay would
    // only hold back the last segment of each response.
    socket.set_option(tcp::no_delay(true), ec);
    auto executor = socket.get_executor();
    if (listener.tls) {
      auto session = std::make_shared<Session<TlsStream>>(
          context_, TlsStream(std::move(socket), *certificate_), certificate_);
      Register(session);
      asio::co_spawn(executor, Session<TlsStream>::Run(std::move(session)), asio::detached);
    } else {
      auto session = std::make_shared<Session<LoopSocket>>(context_, std::move(socket));
      Register(session);
      asio::co_spawn(executor, Session<LoopSocket>::Run(std::move(session)), asio::detached);
    }
  }
}

void ProxyServer::Impl::Register(const std::shared_ptr<SessionBase>& session) {
  std::lock_guard lock(context_.mutex);
  context_.sessions.emplace(session.get(), session);
}

LoopAwaitable<void> ProxyServer::Impl::WatchSignals() {
  for (;;) {
    boost::system::error_code ec;
    int signal = co_await signals_->async_wait(asio::redirect_error(kUseLoopAwaitable, ec));
    if (ec) co_return;
    if (signal == SIGHUP) {
      Reload();
      continue;
    }
    BeginStop();
    co_return;
  }
}

void ProxyServer::Impl::Reload() {
  // A new certificate is quick to read, and only the first loop touches it.
  if (options_.HasTlsListener()) asio::post(loops_.First(), [this] { LoadCertificate(); });
  std::lock_guard lock(reloadMutex_);
  if (reloading_) {
    reloadAgain_ = true;
    return;
  }
  reloading_ = true;
  if (reloader_.joinable()) reloader_.join();  // done: it cleared reloading_ as it left
  reloader_ = std::thread([this] { ReloadUntilDone(); });
}

void ProxyServer::Impl::ReloadUntilDone() {
  for (;;) {
    // A load that fails or throws leaves what it could not read as before; either way the
    // line says so and the metrics count it.
    ReloadOutcome outcome = ReloadOutcome::kOk;
    std::string failed;
    try {
      const filter::LoadOutcome load = context_.engine.Reload();
      if (!load.ok) {
        outcome = ReloadOutcome::kFailed;
        failed.append(" (settings load failed: ").append(load.reason).append(")");
      }
    } catch (const std::exception& error) {
      outcome = ReloadOutcome::kFailed;
      failed.append(" (settings load failed: ").append(error.what()).append(")");
    } catch (...) {
      outcome = ReloadOutcome::kFailed;
      failed = " (settings load failed)";
    }
    context_.metrics.CountReload(outcome);
    std::fprintf(stderr, "orvproxy: settings reloaded, filtering %s%s\n",
                 context_.engine.FilteringOn() ? "on" : "off", failed.c_str());
    std::fflush(stderr);
    std::lock_guard lock(reloadMutex_);
    if (!reloadAgain_) {
      reloading_ = false;
      return;
    }
    reloadAgain_ = false;
  }
}

void ProxyServer::Impl::JoinReload() {
  std::thread reloader;
  {
    std::lock_guard lock(reloadMutex_);
    reloader = std::move(reloader_);
  }
  if (reloader.joinable()) reloader.join();
}

void ProxyServer::Impl::Stop() {
  asio::post(loops_.First(), [this] {
    if (!context_.stopping) BeginStop();
  });
}

std::uint16_t ProxyServer::Impl::Port(std::size_t listener) const {
  if (listener >= listeners_.size()) return 0;
  boost::system::error_code ec;
  tcp::endpoint bound = listeners_[listener]->acceptor.local_endpoint(ec);
  return ec ? 0 : bound.port();
}

void ProxyServer::Impl::BeginStop() {
  std::fprintf(stderr, "orvproxy: stopping\n");
  context_.stopping = true;
  boost::system::error_code ec;
  for (auto& listener : listeners_) listener->acceptor.close(ec);  // on the listeners' loop
  if (metrics_) metrics_->Close();
  std::vector<std::shared_ptr<SessionBase>> open;
  {
    std::lock_guard lock(context_.mutex);
    for (auto& [raw, weak] : context_.sessions)
      if (auto session = weak.lock()) open.push_back(std::move(session));
  }
  for (auto& session : open) session->Stop();
  if (open.empty()) loops_.Stop();
  graceTimer_.expires_after(options_.shutdownGrace);
  graceTimer_.async_wait([this](const boost::system::error_code& waited) {
    if (!waited) loops_.Stop();
  });
}

int ProxyServer::Impl::Run() {
  context_.lastSessionGone = [this] { loops_.Stop(); };
  std::fprintf(stderr, "%s\n", Describe().c_str());
  std::fflush(stderr);

  for (auto& listener : listeners_)
    asio::co_spawn(loops_.First(), Accept(*listener), asio::detached);
  if (signals_) asio::co_spawn(loops_.First(), WatchSignals(), asio::detached);
  if (metrics_) metrics_->Start();
  loops_.Run();
  JoinReload();

  if (pool_) pool_->Clear();
  context_.engine.FlushLog();
  std::fprintf(stderr, "orvproxy: stopped\n");
  return 0;
}

ProxyServer::ProxyServer(const ProxyOptions& options, ScreeningEngine& engine, bool handleSignals)
    : impl_(std::make_unique<Impl>(options, engine, handleSignals)) {
  std::signal(SIGPIPE, SIG_IGN);
}

ProxyServer::~ProxyServer() = default;

bool ProxyServer::Listen() {
  return impl_->Prepare();
}

std::uint16_t ProxyServer::Port(std::size_t listener) const {
  return impl_->Port(listener);
}

std::uint16_t ProxyServer::MetricsPort() const {
  return impl_->MetricsPort();
}

int ProxyServer::Run() {
  return impl_->Run();
}

void ProxyServer::Stop() {
  impl_->Stop();
}

void ProxyServer::Reload() {
  impl_->Reload();
}

int RunServer(const ProxyOptions& options, ScreeningEngine& engine) {
  ProxyServer server(options, engine, true);
  if (!server.Listen()) return 1;
  return server.Run();
}

}  // namespace orv::proxy
