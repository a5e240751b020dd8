#pragma once
// The port on which the join path asks every host: 8155, for the announcement and for an archive
// served by the host itself (a host whose server fell back to 8156 is not found, as before).
// Tests that run host and joiner in one process point both sides at a free port instead, the
// server through its own port setting and the joiner here; SetHostPort returns the port in force
// before, so that a scoped override can put it back.
#include <cstdint>

uint16_t HostPort();
uint16_t SetHostPort(uint16_t port);
