// The Windows HID API over described HID collections, for tests anywhere: each collection's caps
// and usage values worked out from its report descriptor as Windows' HID parser gives them
// (arrays and one-bit variables are buttons, the rest values; every report starts with its id
// byte, 0 when the device numbers none, and is padded to the collection's length). The test
// queues input reports (as hidraw gives them) and pulls the cable.
#pragma once

#include "opos/hid/HidApi.h"
#include "opos/hid/HidDescriptor.h"

#include <algorithm>
#include <deque>
#include <map>

#include <fcntl.h>
#include <unistd.h>

namespace hidtest {

using opos::HidBytes;
using opos::HidReportType;

// One collection's report descriptor, read as Windows reads it.
class DescribedCollection
{
public:
    explicit DescribedCollection(const HidBytes& descriptor)
    {
        std::string why;
        m_parsed = opos::ParseHidDescriptor(descriptor.data(), descriptor.size(), m_d, why);
        for (const opos::HidField& f : m_d.fields) {
            std::uint16_t& length = m_length[f.kind];
            length = std::max<std::uint16_t>(length, std::uint16_t((f.bitOffset + f.bitSize + 7) / 8 + 1));
        }
    }
    bool Parsed() const { return m_parsed; }

    opos::HidCaps Caps() const
    {
        opos::HidCaps caps;
        if (!m_d.applications.empty())
            caps.page = std::uint16_t(m_d.applications[0] >> 16), caps.usage = std::uint16_t(m_d.applications[0]);
        caps.inputBytes = Length(HidReportType::Input);
        caps.outputBytes = Length(HidReportType::Output);
        caps.featureBytes = Length(HidReportType::Feature);
        for (const opos::HidField& f : m_d.fields) {
            const std::uint16_t page = std::uint16_t(f.usage >> 16), linkPage = std::uint16_t(f.collection >> 16),
                                linkUsage = std::uint16_t(f.collection);
            if (isButton(f))
                caps.buttons.push_back({typeOf(f.kind), f.reportId, page, std::uint16_t(f.usage), std::uint16_t(f.usageMax),
                                        linkPage, linkUsage});
            else
                caps.values.push_back({typeOf(f.kind), f.reportId, page, std::uint16_t(f.usage), linkPage, linkUsage,
                                       std::uint16_t(f.bitSize), 1, f.logicalMin, f.logicalMax});
        }
        return caps;
    }

    // A report as hidraw gives it, in the form the API gives it; empty when it cannot be one.
    HidBytes ApiForm(HidReportType type, HidBytes report) const
    {
        if (!m_d.numberedReports)
            report.insert(report.begin(), 0);
        if (report.size() > Length(type))
            return {};
        report.resize(Length(type));
        return report;
    }

    bool UsageValue(HidReportType type, std::uint16_t page, std::uint16_t usage, const HidBytes& report, std::uint32_t& value) const
    {
        for (const opos::HidField* f : fieldsOf(type, report))
            if (!isButton(*f) && f->usage == opos::HidUsage(page, usage))
                return value = std::uint32_t(raw(*f, report)), true;
        return false;
    }

    bool Usages(HidReportType type, std::uint16_t page, const HidBytes& report, std::vector<std::uint16_t>& usages) const
    {
        if (report.size() != Length(type))
            return false;
        usages.clear();
        for (const opos::HidField* f : fieldsOf(type, report)) {
            const std::int64_t v = raw(*f, report);
            if (!isButton(*f) || f->usage >> 16 != page)
                continue;
            if (!f->isArray && v)
                usages.push_back(std::uint16_t(f->usage));
            else if (f->isArray && f->Selected(v))
                usages.push_back(std::uint16_t(f->Selected(v)));
        }
        return true;
    }

    bool ReportWithButton(HidReportType type, std::uint8_t id, std::uint16_t page, std::uint16_t usage, HidBytes& report) const
    {
        report.assign(Length(type), 0);
        if (report.empty())
            return false;
        report[0] = id;
        for (const opos::HidField* f : fieldsOf(type, report))
            if (!f->isArray && f->bitSize == 1 && f->usage == opos::HidUsage(page, usage))
                return opos::HidSetFieldValue(*f, true, report.data(), report.size(), 1);
        return false;
    }

    std::uint16_t Length(HidReportType type) const
    {
        const auto at = m_length.find(kindOf(type));
        return at == m_length.end() ? 0 : at->second;
    }

private:
    static bool isButton(const opos::HidField& f) { return f.isArray || f.bitSize == 1; }
    // The two enums list input, output and feature in the same order.
    static HidReportType typeOf(opos::HidField::Kind k) { return HidReportType(int(k)); }
    static opos::HidField::Kind kindOf(HidReportType t) { return opos::HidField::Kind(int(t)); }
    // The fields of the report's id, when the report has the collection's length (as HidP wants).
    std::vector<const opos::HidField*> fieldsOf(HidReportType type, const HidBytes& report) const
    {
        std::vector<const opos::HidField*> out;
        if (report.empty() || report.size() != Length(type))
            return out;
        for (const opos::HidField& f : m_d.fields)
            if (f.kind == kindOf(type) && f.reportId == report[0])
                out.push_back(&f);
        return out;
    }
    static std::int64_t raw(opos::HidField f, const HidBytes& report)
    {
        f.logicalMin = 0; // the bits as they are, as HidP_GetUsageValue gives them
        std::int64_t v = 0;
        return opos::HidFieldValue(f, true, report.data(), report.size(), v) ? v : 0;
    }

    opos::HidDescriptor m_d;
    bool m_parsed = false;
    std::map<opos::HidField::Kind, std::uint16_t> m_length;
};

// A plugged-in collection: what a test sets and sends, shared with the devices opened on it.
struct FakeHidCollection
{
    std::string path{}, name{};
    std::uint16_t vendor = 0, product = 0;
    HidBytes descriptor{};
    HidBytes limit{}, current{}; // feature and current input report, as hidraw gives them
    bool heldBySystem = false; // opening it for reading is refused, as for keyboards and mice
    std::deque<HidBytes> queued{};
    std::vector<HidBytes> sent{}; // output and feature reports, in the API's form
    bool pulled = false;
    int pipe[2] = {-1, -1}; // a byte a report queued; the write end closed when pulled

    void Send(const HidBytes& report)
    {
        queued.push_back(report);
        if (pipe[1] >= 0 && ::write(pipe[1], "r", 1) != 1)
            queued.pop_back();
    }
    void Pull()
    {
        pulled = true;
        if (pipe[1] >= 0)
            ::close(pipe[1]);
        pipe[1] = -1;
    }
    ~FakeHidCollection()
    {
        for (int fd : pipe)
            if (fd >= 0)
                ::close(fd);
    }
};

class FakeHidApiDevice : public opos::HidApiDevice
{
public:
    explicit FakeHidApiDevice(std::shared_ptr<FakeHidCollection> c) : m_c(std::move(c)), m_parser(m_c->descriptor) {}
    bool Attributes(std::uint16_t& vendor, std::uint16_t& product) override
    {
        vendor = m_c->vendor, product = m_c->product;
        return true;
    }
    std::string ProductName() override { return m_c->name; }
    bool Caps(opos::HidCaps& caps) override { return m_parser.Parsed() && (caps = m_parser.Caps(), true); }
    bool UsageValue(HidReportType type, std::uint16_t page, std::uint16_t usage, const HidBytes& report, std::uint32_t& value) override
    {
        return m_parser.UsageValue(type, page, usage, report, value);
    }
    bool Usages(HidReportType type, std::uint16_t page, const HidBytes& report, std::vector<std::uint16_t>& usages) override
    {
        return m_parser.Usages(type, page, report, usages);
    }
    bool ReportWithButton(HidReportType type, std::uint8_t id, std::uint16_t page, std::uint16_t usage, HidBytes& report) override
    {
        return m_parser.ReportWithButton(type, id, page, usage, report);
    }
    opos::WaitHandle Waitable() const override { return m_c->pipe[0]; }
    Read ReadReport(HidBytes& report, std::string& why) override
    {
        if (m_c->queued.empty()) {
            if (m_c->pulled)
                why = "the device was disconnected (ReadFile: ERROR_DEVICE_NOT_CONNECTED)";
            return m_c->pulled ? Read::Gone : Read::Nothing;
        }
        char byte;
        if (::read(m_c->pipe[0], &byte, 1) != 1)
            return Read::Nothing;
        report = m_parser.ApiForm(HidReportType::Input, m_c->queued.front());
        m_c->queued.pop_front();
        return Read::Report;
    }
    bool GetFeature(HidBytes& report) override { return answer(HidReportType::Feature, m_c->limit, report); }
    bool GetInput(HidBytes& report) override { return answer(HidReportType::Input, m_c->current, report); }
    bool SetFeature(const HidBytes& report) override { return m_c->sent.push_back(report), !m_c->pulled; }
    bool SetOutput(const HidBytes& report) override { return m_c->sent.push_back(report), !m_c->pulled; }

private:
    bool answer(HidReportType type, const HidBytes& stored, HidBytes& report)
    {
        const HidBytes form = m_parser.ApiForm(type, stored);
        if (stored.empty() || form.empty() || report.size() != form.size() || report[0] != form[0])
            return false;
        report = form;
        return true;
    }

    std::shared_ptr<FakeHidCollection> m_c;
    DescribedCollection m_parser;
};

class FakeHidApi : public opos::HidApi
{
public:
    std::shared_ptr<FakeHidCollection> Plug(FakeHidCollection c)
    {
        auto shared = std::make_shared<FakeHidCollection>(std::move(c));
        if (::pipe(shared->pipe) == 0)
            ::fcntl(shared->pipe[0], F_SETFL, O_NONBLOCK);
        m_plugged.push_back(shared);
        return shared;
    }
    std::vector<std::string> DevicePaths() override
    {
        std::vector<std::string> paths;
        for (const auto& c : m_plugged)
            if (!c->pulled)
                paths.push_back(c->path);
        return paths;
    }
    std::unique_ptr<opos::HidApiDevice> Open(const std::string& path, bool forReading, std::string& why) override
    {
        for (const auto& c : m_plugged) {
            if (c->path != path || c->pulled)
                continue;
            if (forReading && c->heldBySystem)
                return why = path + ": access denied", nullptr;
            return std::make_unique<FakeHidApiDevice>(c);
        }
        return why = path + ": no such device", nullptr;
    }

private:
    std::vector<std::shared_ptr<FakeHidCollection>> m_plugged;
};

}
