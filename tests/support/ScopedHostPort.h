#pragma once
// The port the join path asks hosts on, for a scope (the port of a server in the same process).
#include "ScopedOverride.h"
#include "session/HostPort.h"

namespace testing_support {

using ScopedHostPort = ScopedOverride<uint16_t, &SetHostPort>;

} // namespace testing_support
