// One run of a start-up child: spawned on Qt's offscreen platform, timed from just before the
// spawn to its "ready" line, and its peak resident memory taken from wait4 when it has ended.
#pragma once

#include <string>

namespace bench {

struct ChildResult
{
    bool ok = false;         // "ready" seen and exit code 0
    double readyMs = 0;      // process start to "ready"
    long peakRssKib = 0;     // ru_maxrss of the child
    std::string failure;     // why it was not ok
};

// Gives up on a child that has not written "ready" within timeoutMs, killing it.
ChildResult RunChild(const std::string& path, int timeoutMs);

}
