#include "session/HostPort.h"

#include "httpd/HttpLimits.h"
#include "platform/Seam.h"

namespace {

constinit platform::Seam<uint16_t> g_hostPort{httpd::kHostPort};

} // namespace

uint16_t HostPort() {
    return g_hostPort.Get();
}

uint16_t SetHostPort(uint16_t port) {
    return g_hostPort.Exchange(port);
}
