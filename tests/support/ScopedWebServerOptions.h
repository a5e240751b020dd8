#pragma once
// The hosting server's ports and request time-out for a scope (any free port, a short time-out).
#include "ScopedOverride.h"
#include "httpd/WebServer.h"

namespace testing_support {

using ScopedWebServerOptions = ScopedOverride<WebServerOptions, &SetWebServerOptions>;

} // namespace testing_support
