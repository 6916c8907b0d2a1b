// The readings the benchmarks' scale gives, shared with the floor so that both windows show the
// same texts for the same read.
#pragma once

namespace bench {

struct Reading
{
    long result; // OPOS result code
    long weight; // thousandths of the unit; meaningful only when result is 0
};

inline constexpr long kCapacity = 15000; // 15 Kg
inline constexpr long kResultTimeout = 112; // OPOS_E_TIMEOUT

// The nth reading, n from 1. Each weight differs from the one before, so every read changes the
// weight text and the gauge; with timeoutEvery > 0 every timeoutEvery-th read times out instead.
constexpr Reading ReadingFor(long n, long timeoutEvery)
{
    if (timeoutEvery > 0 && n % timeoutEvery == 0)
        return {kResultTimeout, 0};
    return {0, 1000 + (n % 7) * 1750};
}

}
