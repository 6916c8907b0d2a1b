// A USB HID POS scale without the kernel: its report descriptor and weight-limit report handed
// over as hidraw would give them, its reports written into a SEQPACKET socket (one report per
// read, as hidraw keeps them), and closing the socket is pulling the cable.
#pragma once

#include "opos/hid/Hidraw.h"
#include "tests/support/AnswerCorpus.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace hidtest {

using Bytes = std::vector<std::uint8_t>;

// The fake scales' report descriptors, by their names in tests/answers/hid-layouts.txt.
inline Bytes Layout(const std::string& name)
{
    for (const auto& [where, f] : answers::Rows("hid-layouts.txt", 3))
        if (f[0] == name) {
            const std::string bytes = answers::unhex(f[1]);
            return Bytes(bytes.begin(), bytes.end());
        }
    throw std::runtime_error("hid-layouts.txt: no layout " + name);
}
inline const Bytes kScaleDescriptor = Layout("scale"), kReorderedDescriptor = Layout("reordered"),
                   kUnitListDescriptor = Layout("unit-list"), kMouseDescriptor = Layout("mouse");
inline const Bytes kLimit15kg{0x05, 0x02, 0x00, 0x98, 0x3A}; // feature report 5 of "scale": 15000 g

// The scale's end of the cable, behind one kind of source of its reports.
class ScaleEnd
{
public:
    virtual ~ScaleEnd() = default;
    virtual std::unique_ptr<opos::IScaleDevice> Open() = 0; // plugged in afresh
    virtual void Use(Bytes descriptor, Bytes limit) = 0; // another model of scale
    virtual void SetCurrent(Bytes report) = 0; // its answer when asked (nothing unless set)
    virtual bool Send(const Bytes& report) = 0;
    virtual Bytes Received() = 0; // the report the scale was last sent; empty when none
    virtual void Unplug() = 0;
};

// One plugged-in fake scale behind a hidraw node: Connection() gives the device end, Send() and
// Unplug() act at the other.
class FakeHidScale : public ScaleEnd
{
public:
    explicit FakeHidScale(Bytes descriptor = kScaleDescriptor, Bytes limit = kLimit15kg)
        : m_descriptor(std::move(descriptor)), m_limit(std::move(limit))
    {
    }
    ~FakeHidScale() { Unplug(); }
    FakeHidScale(const FakeHidScale&) = delete;
    FakeHidScale& operator=(const FakeHidScale&) = delete;

    std::unique_ptr<opos::IScaleDevice> Open() override { return opos::OpenHidConnection(Connection()); }
    void Use(Bytes descriptor, Bytes limit) override
    {
        m_descriptor = std::move(descriptor);
        m_limit = std::move(limit);
    }

    // A fresh connection, as opening the node again after replugging gives.
    opos::HidConnection Connection()
    {
        Unplug();
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0)
            return {};
        m_peer = fds[1];
        opos::HidConnection c;
        c.fd = fds[0];
        c.path = "/dev/hidraw-test";
        c.name = "Test Shipping Scale";
        c.vendor = 0x0922;
        c.product = 0x8003;
        c.descriptor = m_descriptor;
        const Bytes limit = m_limit;
        c.feature = [limit](std::uint8_t id, std::size_t) { return !limit.empty() && limit[0] == id ? limit : Bytes{}; };
        c.input = [this](std::uint8_t, std::size_t) { return m_current; };
        return c;
    }
    void SetCurrent(Bytes report) override { m_current = std::move(report); }
    bool Send(const Bytes& report) override { return ::send(m_peer, report.data(), report.size(), MSG_NOSIGNAL) == ssize_t(report.size()); }
    Bytes Received() override
    {
        Bytes report(64);
        const ssize_t got = ::recv(m_peer, report.data(), report.size(), MSG_DONTWAIT);
        report.resize(got > 0 ? std::size_t(got) : 0);
        return report;
    }
    void Unplug() override
    {
        if (m_peer >= 0)
            ::close(m_peer);
        m_peer = -1;
    }

private:
    Bytes m_descriptor, m_limit, m_current;
    int m_peer = -1;
};

}
