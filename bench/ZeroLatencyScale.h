// A scale service that answers every call at once and keeps no log, so that what a benchmark
// measures is the console and the control in front of it.
#pragma once

#include "bench/ReadingSequence.h"

#include "opos/ScaleService.h"

#include <functional>

namespace bench {

class ZeroLatencyScale : public opos::IScaleService
{
public:
    explicit ZeroLatencyScale(long timeoutEvery = 0) : m_timeoutEvery(timeoutEvery) {}

    // Runs at the start of every ReadWeight, before it is answered.
    std::function<void()> beforeRead;

    long Reads() const { return m_reads; }
    Reading LastReading() const { return m_last; }
    long LastWeight() const { return m_lastWeight; } // of the last successful read; 0 before one

    LONG Open(const std::u16string&) override { return 0; }
    LONG Close() override { return 0; }
    LONG Claim(LONG) override { return 0; }
    LONG Release() override { return 0; }
    LONG ClearInput() override { return 0; }
    LONG DirectIO(LONG, LONG&, std::optional<std::u16string>&) override { return 0; }
    LONG ReadWeight(LONG& weight, LONG timeoutMs) override;
    void SetDeviceEnabled(bool) override {}
    std::u16string GetDescription() override { return u"Zero-latency scale"; }
    LONG GetMaximumWeight() override { return kCapacity; }
    LONG GetWeightUnit() override { return 2; } // Kg

private:
    long m_timeoutEvery;
    long m_reads = 0;
    Reading m_last{0, 0};
    long m_lastWeight = 0;
};

}
