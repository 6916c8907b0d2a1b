#include "bench/ZeroLatencyScale.h"

namespace bench {

LONG ZeroLatencyScale::ReadWeight(LONG& weight, LONG)
{
    if (beforeRead)
        beforeRead();
    m_last = ReadingFor(++m_reads, m_timeoutEvery);
    if (m_last.result == 0) {
        weight = LONG(m_last.weight);
        m_lastWeight = m_last.weight;
    }
    return LONG(m_last.result);
}

}
