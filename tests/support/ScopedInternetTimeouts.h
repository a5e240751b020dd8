#pragma once
// The join path's internet time-outs for a scope (a stalled peer given up in a second).
#include "ScopedOverride.h"
#include "platform/InternetClient.h"

namespace testing_support {

using ScopedInternetTimeouts =
    ScopedOverride<platform::InternetTimeouts, &platform::SetInternetTimeouts>;

} // namespace testing_support
