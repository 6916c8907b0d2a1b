// tarabo-scales serve, the program itself with eight configured scales (a pty serial fake and
// seven simulated):
// - a weight over HTTP (a new connection each, as serve closes each after its answer) against
//   tarabo-scales read's own path (RunScalesTool in this process) on the same fake, medians;
// - the live stream: from the fake's answer written to the pty to its "received" event read by
//   the client, median and worst;
// - serve's resident memory and CPU while idle for 10 s;
// - 200 clients each polling a weight once a second for 10 s: answers, refusals, serve's CPU and
//   peak memory, the slowest answers.
// Prints "name value" lines. Usage: bench_serve PATH/TO/tarabo-scales
#include "tests/support/FakeSerialScale.h"

#include "opos/config/ScalesConfig.h"
#include "scales-tool/ScalesTool.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kReads = 200, kLiveEvents = 50, kClients = 200, kLoadSeconds = 10, kIdleSeconds = 10;

double us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// utime + stime of a process, in seconds; VmRSS or VmHWM in KiB.
double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

long statusKib(pid_t pid, const std::string& key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0)
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

struct Child
{
    pid_t pid = -1;
    int port = 0;
};

Child startServe(const std::string& tool, const std::filesystem::path& config)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("XDG_CONFIG_HOME=", 0) != 0)
            env.emplace_back(*e);
    env.push_back("XDG_CONFIG_HOME=" + config.string());
    std::vector<char*> envp, argv;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string a0 = tool, a1 = "serve", a2 = "--listen", a3 = "127.0.0.1:0";
    argv = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
    Child child;
    const int spawned = posix_spawn(&child.pid, tool.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return {};
    }
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(out[0]);
    child.port = std::atoi(line.substr(line.rfind(':') + 1).c_str());
    return child;
}

void readBench(int port)
{
    std::vector<double> http, tool;
    for (int i = 0; i < kReads; ++i) {
        const auto t0 = Clock::now();
        httplib::Client client("127.0.0.1", port);
        const httplib::Result result = client.Get("/scales/BenchFake/weight?timeout=1000");
        const auto t1 = Clock::now();
        if (result && result->status == 200 && result->body.find("\"result\":0") != std::string::npos)
            http.push_back(us(t1 - t0));
        StringOut out, err;
        const auto t2 = Clock::now();
        const int status = RunScalesTool({"read", "BenchFake"}, out, err);
        const auto t3 = Clock::now();
        if (status == 0)
            tool.push_back(us(t3 - t2));
    }
    std::printf("serve_read_http_us %.1f\nserve_read_tool_us %.1f\nserve_read_http_ok %zu\nserve_read_tool_ok %zu\nserve_reads %d\n", median(http),
                median(tool), http.size(), tool.size(), kReads);
}

void liveBench(int port, FakeSerialScale& fake)
{
    std::vector<double> delays;
    std::string pending;
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(10, 0);
    const auto started = Clock::now();
    client.Get("/scales/BenchFake/live", [&](const char* data, std::size_t size) {
        const auto now = Clock::now();
        pending.append(data, size);
        for (std::size_t end; (end = pending.find("\n\n")) != std::string::npos; pending.erase(0, end + 2))
            if (pending.substr(0, end).find("\"event\":\"received\"") != std::string::npos)
                delays.push_back(us(now - fake.LastWrite()));
        return delays.size() < std::size_t(kLiveEvents) && now - started < std::chrono::seconds(30);
    });
    std::printf("serve_live_delay_us %.1f\nserve_live_delay_max_us %.1f\nserve_live_events %zu\n", median(delays),
                delays.empty() ? -1.0 : *std::max_element(delays.begin(), delays.end()), delays.size());
}

void idleBench(pid_t pid)
{
    const double cpu0 = cpuSeconds(pid);
    std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
    const double cpu1 = cpuSeconds(pid);
    // Resident memory counts the shared libraries' pages (Qt's among them); RssAnon is serve's own.
    std::printf("serve_idle_seconds %d\nserve_idle_cpu_percent %.3f\nserve_idle_rss_kib %ld\nserve_idle_anon_kib %ld\n", kIdleSeconds,
                (cpu1 - cpu0) * 100 / kIdleSeconds, statusKib(pid, "VmRSS"), statusKib(pid, "RssAnon"));
}

void loadBench(pid_t pid, int port)
{
    std::atomic<int> ok{0}, refused{0}, failed{0};
    std::vector<std::vector<double>> times(kClients);
    const double cpu0 = cpuSeconds(pid);
    const auto start = Clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] {
            // Spread over the second, as clients that started at different times would be.
            std::this_thread::sleep_until(start + std::chrono::milliseconds(c * 1000 / kClients));
            for (int s = 0; s < kLoadSeconds; ++s) {
                const auto t0 = Clock::now();
                httplib::Client client("127.0.0.1", port);
                client.set_read_timeout(5, 0);
                const httplib::Result result = client.Get("/scales/BenchSim" + std::to_string(c % 7 + 1) + "/weight?timeout=0");
                times[c].push_back(us(Clock::now() - t0));
                (result && result->status == 200 ? ok : result && result->status == 503 ? refused : failed)++;
                std::this_thread::sleep_until(start + std::chrono::milliseconds(c * 1000 / kClients) + std::chrono::seconds(s + 1));
            }
        });
    for (std::thread& t : clients)
        t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu1 = cpuSeconds(pid);
    std::vector<double> all;
    for (const auto& t : times)
        all.insert(all.end(), t.begin(), t.end());
    std::sort(all.begin(), all.end());
    std::printf("serve_load_requests %zu\nserve_load_ok %d\nserve_load_refused %d\nserve_load_failed %d\n", all.size(), ok.load(), refused.load(),
                failed.load());
    std::printf("serve_load_cpu_percent %.2f\nserve_load_peak_rss_kib %ld\nserve_load_median_us %.1f\nserve_load_p99_us %.1f\n",
                (cpu1 - cpu0) * 100 / seconds, statusKib(pid, "VmHWM"), median(all), all.empty() ? -1.0 : all[all.size() * 99 / 100]);
}
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_serve PATH/TO/tarabo-scales\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    namespace fs = std::filesystem;
    FakeSerialScale fake('W', [](const std::string& request, int, std::int64_t) {
        return request.ends_with("W") ? std::vector<std::string>{"\x02" "001.25\r"} : std::vector<std::string>{};
    });
    const fs::path dir = fs::temp_directory_path() / ("tarabo-bench-serve-" + std::to_string(::getpid()));
    fs::create_directories(dir / "tarabo");
    {
        std::ofstream conf(dir / "tarabo" / "scales.conf");
        conf << "[BenchFake]\ndriver = serial\nprotocol = toledo\ndevice = " << fake.Path() << "\n";
        for (int i = 1; i <= 7; ++i)
            conf << "[BenchSim" << i << "]\ndriver = simulated\n";
    }
    opos::ConfigFilesOverride files({(dir / "tarabo" / "scales.conf").string()});
    const Child child = startServe(argv[1], dir);
    int status = 1;
    if (child.pid > 0 && child.port > 0) {
        idleBench(child.pid);
        readBench(child.port);
        liveBench(child.port, fake);
        loadBench(child.pid, child.port);
        status = 0;
    } else {
        std::fprintf(stderr, "bench_serve: serve did not start\n");
    }
    if (child.pid > 0) {
        ::kill(child.pid, SIGTERM);
        ::waitpid(child.pid, nullptr, 0);
    }
    fs::remove_all(dir);
    return status;
}
