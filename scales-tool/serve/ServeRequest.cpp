#include "scales-tool/serve/ServeRequest.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include <arpa/inet.h>

namespace serve {

namespace {
std::optional<int> portNumber(std::string_view text)
{
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535)
        return std::nullopt;
    return port;
}

bool numericAddress(const std::string& host)
{
    unsigned char buffer[16];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 || ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string lower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return result;
}
}

bool IsLoopback(std::string_view host)
{
    unsigned char address[16];
    const std::string text(host);
    if (::inet_pton(AF_INET, text.c_str(), address) == 1)
        return address[0] == 127;
    static const unsigned char kLoopback6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return ::inet_pton(AF_INET6, text.c_str(), address) == 1 && std::equal(address, address + 16, kLoopback6);
}

std::optional<ListenAddress> ParseListen(std::string_view text)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']' && host.find(':') != std::string_view::npos)
        host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string_view::npos)
        return std::nullopt; // an IPv6 address needs its brackets
    const std::optional<int> port = portNumber(text.substr(colon + 1));
    ListenAddress address{std::string(host), port.value_or(0), false};
    if (!port || !numericAddress(address.host))
        return std::nullopt;
    address.loopback = IsLoopback(address.host);
    return address;
}

std::optional<ScaleTarget> ParseScalePath(std::string_view path)
{
    constexpr std::string_view kPrefix = "/scales/";
    if (path.substr(0, kPrefix.size()) != kPrefix)
        return std::nullopt;
    path.remove_prefix(kPrefix.size());
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view name = path.substr(0, slash), action = path.substr(slash + 1);
    if (name.empty() || name.size() > kLongestName || name.find('/') != std::string_view::npos ||
        std::any_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }))
        return std::nullopt;
    ScaleTarget target{std::string(name)};
    if (action == "weight")
        target.action = Action::Weight;
    else if (action == "live")
        target.action = Action::Live;
    else if (action == "zero")
        target.action = Action::Zero;
    else
        return std::nullopt;
    return target;
}

std::optional<long> ParseTimeout(std::string_view text)
{
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 || value > kLongestTimeoutMs)
        return std::nullopt;
    return value;
}

std::vector<std::string> ParseOrigins(std::string_view text, std::string& error)
{
    std::vector<std::string> origins;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \t,", at), text.size());
        const std::string_view item = text.substr(at, end - at);
        at = end + 1;
        if (item.empty())
            continue;
        std::string origin = lower(item);
        const std::size_t scheme = origin.find("://");
        const std::string_view rest = scheme == std::string::npos ? std::string_view() : std::string_view(origin).substr(scheme + 3);
        const bool schemeKnown = origin.compare(0, scheme, "http") == 0 || origin.compare(0, scheme, "https") == 0;
        if (!schemeKnown || rest.empty() || rest.find_first_of("/?#@ ") != std::string_view::npos) {
            error = "\"" + std::string(item) + "\" is not an origin (scheme://host[:port], no path)";
            return {};
        }
        // A browser leaves the scheme's own port out of the Origin it sends.
        if ((origin.starts_with("http://") && origin.ends_with(":80")) || (origin.starts_with("https://") && origin.ends_with(":443")))
            origin.resize(origin.rfind(':'));
        origins.push_back(origin);
    }
    return origins;
}

std::optional<std::string> BearerToken(std::string_view authorization)
{
    constexpr std::string_view kScheme = "Bearer ";
    if (authorization.size() <= kScheme.size() || lower(authorization.substr(0, kScheme.size())) != "bearer ")
        return std::nullopt;
    std::string_view token = authorization.substr(kScheme.size());
    while (!token.empty() && token.front() == ' ')
        token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ')
        token.remove_suffix(1);
    if (token.empty())
        return std::nullopt;
    return std::string(token);
}

bool SameToken(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

bool LoopbackHostHeader(std::string_view host, int port)
{
    const std::string text = lower(host), suffix = ":" + std::to_string(port);
    if (text.size() <= suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string name = text.substr(0, text.size() - suffix.size());
    if (name == "localhost" || name == "[::1]")
        return true;
    unsigned char address[4];
    return ::inet_pton(AF_INET, name.c_str(), address) == 1 && address[0] == 127;
}


}
