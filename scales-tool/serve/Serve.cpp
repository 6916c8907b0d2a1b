#include "scales-tool/serve/Serve.h"

#include "opos/ScaleDevice.h"
#include "scales-tool/JsonString.h"
#include "scales-tool/Monitor.h"
#include "scales-tool/serve/RequestDeadline.h"
#include "scales-tool/serve/ScaleHub.h"
#include "scales-tool/serve/ServePage.h"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace serve {

namespace {
constexpr std::size_t kLargestRequestBody = 1024; // no request of serve has a body to speak of
// A connection that sends nothing is dropped after kIdleS, one that stops sending after kReadTimeoutS;
// each is closed after its answer, so no idle client keeps a worker.
constexpr int kReadTimeoutS = 2, kWriteTimeoutS = 5, kIdleS = 2;
constexpr int kStreamWaitMs = 1000;
constexpr std::int64_t kQueuedTooLongMs = 1000;

thread_local bool t_overloaded = false; // this connection waited too long: 503

std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The library's pool of workers with a bounded queue: a connection that finds the queue half
// full, or waited in it too long, is answered 503 at once; a full queue stops accepting until a
// worker is free, so the kernel's backlog holds the rest.
class BoundedPool : public httplib::TaskQueue
{
public:
    BoundedPool(std::size_t workers, std::size_t queued) : m_queued(queued)
    {
        for (std::size_t i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { Work(); });
    }
    void enqueue(std::function<void()> fn) override
    {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [&] { return m_jobs.size() < m_queued || m_shutdown; });
        m_jobs.push_back({std::move(fn), steadyMs()});
        m_ready.notify_one();
    }
    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_shutdown = true;
        }
        m_ready.notify_all();
        m_space.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
    }

private:
    struct Job
    {
        std::function<void()> fn;
        std::int64_t queuedMs;
    };
    void Work()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [&] { return !m_jobs.empty() || m_shutdown; });
                if (m_jobs.empty())
                    return;
                t_overloaded = m_jobs.size() > m_queued / 2 || steadyMs() - m_jobs.front().queuedMs > kQueuedTooLongMs;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            m_space.notify_one();
            job.fn();
            t_overloaded = false;
        }
    }

    std::size_t m_queued;
    std::mutex m_mutex;
    std::condition_variable m_ready, m_space;
    std::deque<Job> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_shutdown = false;
};

// A server that can also take the socket systemd opened for it.
class Server : public httplib::Server
{
public:
    bool ListenOn(int fd)
    {
        svr_sock_ = fd;
        return listen_after_bind();
    }
};

void json(httplib::Response& res, int status, const std::string& body)
{
    res.status = status;
    res.set_content(body + "\n", "application/json");
}

void error(httplib::Response& res, int status, const std::string& why)
{
    json(res, status, "{\"error\":" + JsonString(why) + "}");
}

int statusOf(const Outcome& outcome)
{
    switch (outcome.kind) {
    case Outcome::Kind::Done: return 200;
    case Outcome::Kind::NotFound: return 404;
    case Outcome::Kind::Held:
    case Outcome::Kind::Busy:
    case Outcome::Kind::TooMany: return 503;
    }
    return 500;
}
}

struct ServeServer::Impl
{
    Impl(ServeSettings settings, const opos::ScalesConfig& config) : settings(std::move(settings)), hub(config, this->settings.healthIntervalS) {}

    ServeSettings settings;
    ScaleHub hub;
    Server server;
    RequestDeadline deadline;
    std::thread thread;
    int port = 0;
    std::mutex streamsMutex;
    int streams = 0;
    std::map<std::string, int> streamsByClient;

    void Routes();
    httplib::Server::HandlerResponse Check(const httplib::Request& req, httplib::Response& res);
    void Scale(const httplib::Request& req, httplib::Response& res);
    void Live(const std::string& name, const httplib::Request& req, httplib::Response& res);
    bool TakeStream(const std::string& client, std::string& why);
    void DropStream(const std::string& client);
};

// Every request passes here before its route: overload, the Host, the origin, the token.
httplib::Server::HandlerResponse ServeServer::Impl::Check(const httplib::Request& req, httplib::Response& res)
{
    using Handled = httplib::Server::HandlerResponse;
    deadline.Routed(req.remote_addr, req.remote_port);
    if (t_overloaded) {
        res.set_header("Retry-After", "1");
        error(res, 503, "too many requests at once: try again");
        return Handled::Handled;
    }
    if (settings.listen.loopback && !LoopbackHostHeader(req.get_header_value("Host"), port)) {
        error(res, 403, "this server answers only to its loopback address");
        return Handled::Handled;
    }
    if (req.has_header("Origin")) {
        const std::string origin = req.get_header_value("Origin");
        const bool listed = std::find(settings.origins.begin(), settings.origins.end(), origin) != settings.origins.end();
        if (!listed && origin != "http://" + req.get_header_value("Host")) {
            error(res, 403, "origin " + origin + " is not among the origins serve.conf lists");
            return Handled::Handled;
        }
        if (listed) {
            res.set_header("Access-Control-Allow-Origin", origin);
            res.set_header("Vary", "Origin");
        }
        if (req.method == "OPTIONS") {
            res.set_header("Access-Control-Allow-Methods", "GET, POST");
            res.set_header("Access-Control-Allow-Headers", "Authorization");
            res.set_header("Access-Control-Max-Age", "600");
            res.status = 204;
            return Handled::Handled;
        }
    }
    if (req.method == "GET" && req.path == "/")
        return Handled::Unhandled; // the page itself holds nothing; what it fetches asks for the token
    const std::optional<std::string> token = BearerToken(req.get_header_value("Authorization"));
    if (settings.token.empty() && req.method == "POST") {
        error(res, 401, "POST needs the token: serve was started without --token-file");
        return Handled::Handled;
    }
    if (!settings.token.empty() && !(token && SameToken(*token, settings.token))) {
        res.set_header("WWW-Authenticate", "Bearer");
        error(res, 401, "this request needs the token: Authorization: Bearer TOKEN");
        return Handled::Handled;
    }
    return Handled::Unhandled;
}

void ServeServer::Impl::Routes()
{
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) { return Check(req, res); });
    server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content(kServePage, "text/html; charset=utf-8"); });
    server.Get("/scales", [this](const httplib::Request&, httplib::Response& res) { json(res, 200, hub.ListJson()); });
    server.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(hub.Metrics(), "text/plain; version=0.0.4; charset=utf-8");
    });
    server.Get("/scales/.+", [this](const httplib::Request& req, httplib::Response& res) { Scale(req, res); });
    server.Post("/scales/.+", [this](const httplib::Request& req, httplib::Response& res) { Scale(req, res); });
    server.Options(".*", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            error(res, res.status, res.status == 404 ? "no such resource: see GET /scales" : "request refused");
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        error(res, 500, "the request failed");
    });
}

void ServeServer::Impl::Scale(const httplib::Request& req, httplib::Response& res)
{
    const std::optional<ScaleTarget> target = ParseScalePath(req.path);
    if (!target || (req.method == "POST") != (target->action == Action::Zero)) {
        error(res, target ? 405 : 404, target ? "GET weight and live, POST zero" : "no such resource: see GET /scales");
        return;
    }
    if (target->action == Action::Live) {
        Live(target->name, req, res);
        return;
    }
    if (target->action == Action::Zero) {
        const Outcome outcome = hub.Zero(target->name);
        json(res, outcome.kind == Outcome::Kind::Done && outcome.result != 0 ? 409 : statusOf(outcome), outcome.Json(target->name));
        return;
    }
    const std::optional<long> timeout = req.has_param("timeout") ? ParseTimeout(req.get_param_value("timeout")) : kDefaultTimeoutMs;
    if (!timeout) {
        error(res, 400, "timeout takes milliseconds from 0 to " + std::to_string(kLongestTimeoutMs));
        return;
    }
    const Outcome outcome = hub.Read(target->name, *timeout);
    if (outcome.kind == Outcome::Kind::Held)
        res.set_header("Retry-After", "1");
    json(res, statusOf(outcome), outcome.Json(target->name));
}

bool ServeServer::Impl::TakeStream(const std::string& client, std::string& why)
{
    std::lock_guard lock(streamsMutex);
    if (streams >= settings.streams)
        why = "as many live streams as serve keeps are open";
    else if (streamsByClient[client] >= settings.streamsPerClient)
        why = "this client has as many live streams open as one client may";
    else {
        ++streams;
        ++streamsByClient[client];
        return true;
    }
    return false;
}

void ServeServer::Impl::DropStream(const std::string& client)
{
    std::lock_guard lock(streamsMutex);
    --streams;
    if (--streamsByClient[client] <= 0)
        streamsByClient.erase(client);
}

// Server-Sent Events, one per line of monitor --json, for as long as the client stays.
void ServeServer::Impl::Live(const std::string& name, const httplib::Request& req, httplib::Response& res)
{
    std::string why;
    if (!TakeStream(req.remote_addr, why)) {
        error(res, 503, why);
        return;
    }
    std::uint64_t from = 0;
    const Outcome outcome = hub.Attach(name, from);
    if (outcome.kind != Outcome::Kind::Done || outcome.result != 0) {
        DropStream(req.remote_addr);
        json(res, outcome.kind == Outcome::Kind::Done ? 503 : statusOf(outcome), outcome.Json(name));
        return;
    }
    res.set_header("Cache-Control", "no-cache");
    res.set_header("X-Accel-Buffering", "no");
    auto first = std::make_shared<bool>(true);
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, name, from, first](std::size_t, httplib::DataSink& sink) mutable {
            std::vector<std::string> events;
            const bool watched = hub.NextEvents(name, from, events, *first ? 0 : kStreamWaitMs);
            std::string chunk = *first ? "retry: 2000\n\n" : "";
            *first = false;
            for (const std::string& event : events)
                chunk += "data: " + event + "\n\n";
            if (chunk.empty())
                chunk = ": waiting\n\n"; // finds a client that has gone
            if (!sink.write(chunk.data(), chunk.size()))
                return false;
            if (!watched)
                sink.done();
            return true;
        },
        [this, name, client = req.remote_addr](bool) {
            hub.Detach(name);
            DropStream(client);
        });
}

ServeServer::ServeServer(ServeSettings settings, const opos::ScalesConfig& config)
    : m_impl(std::make_unique<Impl>(std::move(settings), config))
{
}

ServeServer::~ServeServer() { Stop(); }

bool ServeServer::Start(std::string& error)
{
    Impl& impl = *m_impl;
    const ServeSettings& settings = impl.settings;
    impl.server.new_task_queue = [&settings] { return new BoundedPool(settings.workers, settings.queued); };
    impl.server.set_read_timeout(kReadTimeoutS, 0);
    impl.server.set_write_timeout(kWriteTimeoutS, 0);
    impl.server.set_keep_alive_timeout(kIdleS);
    impl.server.set_keep_alive_max_count(1);
    impl.server.set_payload_max_length(kLargestRequestBody);
    impl.Routes();
    if (settings.listenFd >= 0) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getsockname(settings.listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            error = std::string("the socket passed in cannot be used: ") + std::strerror(errno);
            return false;
        }
        impl.port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                                        : reinterpret_cast<sockaddr_in&>(address).sin_port);
        impl.deadline.Start(impl.port, settings.requestDeadlineMs);
        impl.thread = std::thread([&impl, fd = settings.listenFd] { impl.server.ListenOn(fd); });
        return true;
    }
    const ListenAddress& listen = settings.listen;
    impl.port = listen.port == 0 ? impl.server.bind_to_any_port(listen.host) : impl.server.bind_to_port(listen.host, listen.port) ? listen.port : -1;
    if (impl.port <= 0) {
        error = "cannot listen on " + listen.host + ":" + std::to_string(listen.port) + ": " + std::strerror(errno);
        return false;
    }
    impl.deadline.Start(impl.port, settings.requestDeadlineMs);
    impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
    return true;
}

int ServeServer::Port() const { return m_impl->port; }

void ServeServer::Stop()
{
    m_impl->hub.Stop(); // ends the live streams, so the workers that send them come free
    if (m_impl->thread.joinable()) {
        m_impl->server.stop();
        m_impl->thread.join();
    }
    m_impl->deadline.Stop();
}

bool LoadServeConfig(const std::vector<std::string>& scalesConfigFiles, ServeSettings& settings, std::string& error)
{
    try {
        for (const std::string& scalesFile : scalesConfigFiles) {
            const std::string file = (std::filesystem::path(scalesFile).parent_path() / "serve.conf").string();
            std::string text;
            if (!opos::ReadConfigFile(file, text))
                continue;
            for (const auto& [name, section] : opos::ParseScalesConfig(text, file)) {
                if (name != "serve")
                    section.Fail("", "serve.conf has one section, [serve]");
                for (const auto& [key, value] : section.values)
                    if (key != "origins" && key != "health-interval")
                        section.Fail(key, "serve.conf knows origins and health-interval");
                std::string why;
                settings.origins = ParseOrigins(section.Text("origins", ""), why);
                if (!why.empty())
                    section.Fail("origins", why);
                settings.healthIntervalS = section.Number("health-interval", settings.healthIntervalS, 0, 86400);
            }
        }
    } catch (const opos::DeviceError& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

bool ReadTokenFile(const std::string& file, std::string& token, std::string& error)
{
    struct stat st{};
    std::ifstream in(file);
    if (!in || ::stat(file.c_str(), &st) != 0) {
        error = file + ": cannot read the token: " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode) || (st.st_mode & S_IROTH) || (st.st_mode & S_IWOTH)) {
        error = file + ": the token file must be a file that only its owner and group can read (chmod 640)";
        return false;
    }
    std::getline(in, token);
    while (!token.empty() && (token.back() == '\r' || token.back() == ' ' || token.back() == '\t'))
        token.pop_back();
    if (token.size() < 16 || token.find_first_of(" \t") != std::string::npos) {
        error = file + ": the token must be one word of at least 16 characters (e.g. openssl rand -hex 24)";
        return false;
    }
    return true;
}

}

namespace {
const char kServeUsage[] =
    "Usage: tarabo-scales serve [--listen ADDR:PORT] [--token-file FILE]\n"
    "Serves the configured scales over HTTP on 127.0.0.1:8350 unless --listen says otherwise;\n"
    "an address other than loopback needs --token-file. See tarabo-scales(1).\n";

// The socket systemd passes (LISTEN_FDS), if it is for this process.
int socketFromSystemd()
{
    const char* pid = std::getenv("LISTEN_PID");
    const char* fds = std::getenv("LISTEN_FDS");
    if (!pid || !fds || std::atol(pid) != long(::getpid()) || std::atoi(fds) < 1)
        return -1;
    return 3;
}
}

int RunServeCommand(const std::vector<std::string>& args, TextSink& out, TextSink& err)
{
    using namespace serve;
    ServeSettings settings;
    std::string tokenFile, why;
    bool listenGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << kServeUsage;
            return 0;
        }
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--listen" && hasValue) {
            const std::optional<ListenAddress> listen = ParseListen(args[++i]);
            if (!listen) {
                err << "tarabo-scales: --listen takes ADDR:PORT, a numeric address ([::1] for IPv6) and a port from 0 (any free one) to 65535\n";
                return 2;
            }
            settings.listen = *listen;
            listenGiven = true;
        } else if (args[i] == "--token-file" && hasValue) {
            tokenFile = args[++i];
        } else {
            err << "tarabo-scales: serve does not take \"" << args[i] << "\"\n" << kServeUsage;
            return 2;
        }
    }
    settings.listenFd = socketFromSystemd();
    if (settings.listenFd >= 0 && !listenGiven) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        char host[64] = "";
        if (::getsockname(settings.listenFd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            ::inet_ntop(address.ss_family, address.ss_family == AF_INET6 ? static_cast<void*>(&reinterpret_cast<sockaddr_in6&>(address).sin6_addr)
                                                                         : static_cast<void*>(&reinterpret_cast<sockaddr_in&>(address).sin_addr),
                        host, sizeof host);
        settings.listen = {host, 0, IsLoopback(host)};
    }
    if (!tokenFile.empty() && !ReadTokenFile(tokenFile, settings.token, why)) {
        err << "tarabo-scales: " << why << "\n";
        return 1;
    }
    if (!settings.listen.loopback && settings.token.empty()) {
        err << "tarabo-scales: serving on " << settings.listen.host << ", beyond loopback, needs --token-file\n";
        return 2;
    }
    opos::ScalesConfig config;
    try {
        config = opos::LoadConfiguredScales();
    } catch (const opos::DeviceError& failure) {
        err << "tarabo-scales: " << failure.what() << "\n";
        return 1;
    }
    if (!LoadServeConfig(opos::ConfigFiles(), settings, why)) {
        err << "tarabo-scales: " << why << "\n";
        return 1;
    }
    // SIGINT and SIGTERM are taken by sigwait below, on this thread alone.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    ServeServer server(settings, config);
    if (!server.Start(why)) {
        err << "tarabo-scales: " << why << "\n";
        return 1;
    }
    out << "tarabo-scales: serving " << config.size() << " configured scale(s) on " << settings.listen.host << ":" << server.Port() << "\n";
    out.Flush();
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    return 0;
}
