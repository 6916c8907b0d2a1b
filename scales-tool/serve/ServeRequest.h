// What serve makes of a request beyond what the HTTP library parses: the listening address, the
// scale and action a path names, a read's time-out, the origins the configuration lists, the
// token a request carries and the Host it names. Pure functions over text, fuzzed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace serve {

struct ListenAddress
{
    std::string host; // "127.0.0.1", "::1", "0.0.0.0"
    int port = 0;
    bool loopback = false;
};
inline constexpr char kDefaultListen[] = "127.0.0.1:8350";

// "ADDR:PORT", with an IPv6 address in brackets ("[::1]:8350"), port 0 for any free one; nullopt
// when malformed.
std::optional<ListenAddress> ParseListen(std::string_view text);
// A numeric address in 127.0.0.0/8 or ::1.
bool IsLoopback(std::string_view host);

enum class Action { Weight, Live, Zero };
struct ScaleTarget
{
    std::string name;
    Action action = Action::Weight;
};
inline constexpr std::size_t kLongestName = 128;

// "/scales/NAME/weight", ".../live", ".../zero" (the path as the library decoded it); nullopt
// for anything else, and for a name that is empty, too long or holds a control character.
std::optional<ScaleTarget> ParseScalePath(std::string_view path);

// A read's time-out in milliseconds: 0 to kLongestTimeoutMs; an absent one is kDefaultTimeoutMs.
inline constexpr long kDefaultTimeoutMs = 1000, kLongestTimeoutMs = 10000;
std::optional<long> ParseTimeout(std::string_view text);

// "https://pos.example:8443 http://localhost:3000", separated by spaces or commas: each origin as
// a browser sends it (scheme, host, port unless the scheme's own). Sets `error` for a bad one.
std::vector<std::string> ParseOrigins(std::string_view text, std::string& error);

// The token of "Bearer TOKEN"; nullopt for any other form.
std::optional<std::string> BearerToken(std::string_view authorization);
// Compares in time that depends on the length alone.
bool SameToken(std::string_view a, std::string_view b);

// Whether a Host header names this loopback server ("127.0.0.1:8350", "localhost:8350",
// "[::1]:8350"), so a page from elsewhere cannot reach it through a name it rebinds.
bool LoopbackHostHeader(std::string_view host, int port);


}
