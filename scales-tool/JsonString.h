// Text from devices and users as a JSON string, for monitor --json and serve.
#pragma once

#include <string>
#include <string_view>

// `text` as a JSON string, quotes included: quotes, backslashes and control characters escaped.
std::string JsonString(std::string_view text);
