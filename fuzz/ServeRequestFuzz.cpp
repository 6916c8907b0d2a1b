// What tarabo-scales serve reads of a request beyond the HTTP library: the input's lines as a
// path, a time-out, an Authorization header, a Host header, an origins list and a --listen value.
#include "scales-tool/JsonString.h"
#include "scales-tool/serve/ServeRequest.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view lines[6];
    for (std::string_view& line : lines) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        line = input.substr(0, end);
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    if (const auto target = serve::ParseScalePath(lines[0])) {
        if (target->name.empty() || target->name.size() > serve::kLongestName || target->name.find('/') != std::string::npos)
            std::abort();
        for (const char c : JsonString(target->name))
            if (static_cast<unsigned char>(c) < 0x20)
                std::abort();
    }
    if (const auto timeout = serve::ParseTimeout(lines[1]); timeout && (*timeout < 0 || *timeout > serve::kLongestTimeoutMs))
        std::abort();
    if (const auto token = serve::BearerToken(lines[2]))
        serve::SameToken(*token, "0123456789abcdef");
    serve::LoopbackHostHeader(lines[3], 8350);
    std::string error;
    serve::ParseOrigins(lines[4], error);
    if (const auto listen = serve::ParseListen(lines[5]); listen && (listen->port < 0 || listen->port > 65535))
        std::abort();
    return 0;
}
