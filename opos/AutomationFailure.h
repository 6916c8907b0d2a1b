// Raised by a scale service when a call fails as a whole rather than with a result code; the
// control turns it into an automation exception for the caller.
#pragma once

#include <stdexcept>

namespace opos {

class AutomationFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error; // the text is the exception's description
};

}
