// Any bytes as what a serial line delivers to one protocol's parser (SERIAL_PROTOCOL), fed in
// two pieces split where the first byte says. The parser must always move on: a frame or a
// drop consumes bytes, and it never consumes more than it was given.
#include "opos/serial/SerialProtocol.h"

#include <cstdlib>
#include <string_view>

using namespace opos::serial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (std::string_view rest = bytes; !rest.empty();) {
        const Parsed parsed = ParseFrame(Protocol::SERIAL_PROTOCOL, rest);
        if (parsed.consumed > rest.size() || (parsed.frame && parsed.consumed == 0))
            std::abort();
        if (parsed.consumed == 0)
            break;
        rest.remove_prefix(parsed.consumed);
    }
    const std::size_t split = size ? std::size_t(data[0]) % size : 0;
    FrameReader reader(Protocol::SERIAL_PROTOCOL);
    for (const std::string_view piece : {bytes.substr(0, split), bytes.substr(split)}) {
        reader.Feed(piece);
        while (const std::optional<Frame> frame = reader.Next())
            if ((frame->kind == FrameKind::Identity && frame->capacity < 0) ||
                (frame->kind == FrameKind::Weight && frame->weight < 0)) // a stable load below zero is UnderZero
                std::abort();
    }
    return 0;
}
