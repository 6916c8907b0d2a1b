// A scale at the far end of a pseudo-terminal, for tests and benchmarks of serial scales: it
// reads requests from the master side and answers each with what the test's script gives, or,
// streaming, sends what the script gives at a steady rate without being asked.
// A pty keeps the speed of a line but not its parity, so parity is the parsers' tests' business.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class FakeSerialScale
{
public:
    // The pieces to write for the n-th request (from 0), `ms` after the fake started; each piece
    // is a separate write, 5 ms apart. No pieces: silence.
    using Script = std::function<std::vector<std::string>(const std::string& request, int n, std::int64_t ms)>;

    // Requests end with `terminator` ('W' for Toledo, '\r' for NCI, '\n' for MT-SICS).
    FakeSerialScale(char terminator, Script script) : FakeSerialScale(std::string(1, terminator), std::move(script)) {}
    // Requests end with any of `terminators` (single-byte requests such as ENQ and DC1 end
    // themselves). With `periodMs`, the script is also called every periodMs with an empty request
    // and its pieces are sent unasked; a full line drops them, as a real one would.
    FakeSerialScale(std::string terminators, Script script, int periodMs = 0);
    ~FakeSerialScale();
    FakeSerialScale(const FakeSerialScale&) = delete;
    FakeSerialScale& operator=(const FakeSerialScale&) = delete;

    // The path the scale under test opens.
    const std::string& Path() const { return m_path; }
    // Pulls the cable: the far end closes.
    void HangUp();
    int Requests() const { return m_requests; }
    // When the last piece of the last answer or frame was written, on the steady clock.
    std::chrono::steady_clock::time_point LastWrite() const { return m_lastWrite.load(); }

private:
    void Run();
    void Write(const std::vector<std::string>& pieces);

    int m_master = -1;
    int m_slave = -1; // kept open so the line stays up between opens
    int m_stopPipe[2] = {-1, -1};
    std::string m_path;
    std::string m_terminators;
    Script m_script;
    int m_periodMs;
    std::atomic<int> m_requests{0};
    std::atomic<std::chrono::steady_clock::time_point> m_lastWrite{};
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::thread m_thread;
};
