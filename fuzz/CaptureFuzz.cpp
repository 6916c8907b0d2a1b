// Any text as a capture file: parsed, and what parses written out and parsed again to the same
// (the events, and the free-text values with whatever characters their escapes stand for).
#include "opos/replay/Capture.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    opos::Capture capture;
    try {
        capture = opos::ParseCapture(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.cap");
    } catch (const opos::CaptureError&) {
        return 0;
    }
    std::string text = opos::CaptureHeaderText(capture.header);
    for (const opos::CaptureEvent& event : capture.events)
        text += opos::CaptureEventLine(event);
    const opos::Capture again = opos::ParseCapture(text, "again.cap"); // what it wrote, it reads
    const auto& h = capture.header;
    if (again.events.size() != capture.events.size() || again.header.driver != h.driver || (h.driver == "hid" && again.header.name != h.name) ||
        again.header.device != h.device || again.header.tool != h.tool)
        std::abort();
    return 0;
}
