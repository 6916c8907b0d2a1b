// tarabo-scales serve: the configured scales over HTTP for browser point-of-sale programs, a live
// page for the technician and Prometheus' metrics. Usage in Serve.cpp and tarabo-scales(1).
#pragma once

#include "opos/config/ScalesConfig.h"
#include "scales-tool/serve/ServeRequest.h"

#include "scales-tool/TextSink.h"
#include <memory>
#include <string>
#include <vector>

namespace serve {

struct ServeSettings
{
    ListenAddress listen{"127.0.0.1", 8350, true}; // port 0: any free port
    int listenFd = -1;              // a socket systemd opened (socket activation), instead of listen
    std::string token;              // empty: none; then nothing but loopback, and no POST
    std::vector<std::string> origins; // the other origins whose pages may call
    int healthIntervalS = 60;       // 0: no reads of scales nobody asks about
    std::size_t workers = 32;       // requests and live streams served at once
    std::size_t queued = 64;        // connections waiting for a worker; beyond that, 503
    int streams = 16, streamsPerClient = 4;
    int requestDeadlineMs = 5000;   // a request not read whole by then loses its connection
};

class ServeServer
{
public:
    ServeServer(ServeSettings settings, const opos::ScalesConfig& config);
    ~ServeServer();
    ServeServer(const ServeServer&) = delete;
    ServeServer& operator=(const ServeServer&) = delete;

    // Binds and serves on a thread of its own; false with `error` when it cannot bind.
    bool Start(std::string& error);
    int Port() const;
    // Ends the live streams and the server; waits for the requests in flight.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The serve section of serve.conf beside each scales.conf (origins, health-interval) into
// `settings`; false with `error` for a bad file or key.
bool LoadServeConfig(const std::vector<std::string>& scalesConfigFiles, ServeSettings& settings, std::string& error);

// A token file: readable by its owner and group alone, one token of at least 16 characters.
bool ReadTokenFile(const std::string& file, std::string& token, std::string& error);

}

// args after "serve": [--listen ADDR:PORT] [--token-file FILE]; serves until SIGINT or SIGTERM.
// Exit 0 when stopped so, 1 when it cannot start, 2 for bad usage.
int RunServeCommand(const std::vector<std::string>& args, TextSink& out, TextSink& err);
