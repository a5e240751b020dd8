#pragma once
// The port on which the join path asks every host: 8155, for the announcement and for an archive
// served by the host itself (a host whose server fell back to 8156 is not found, as before).
// Tests that run host and joiner in one process point both sides at a free port instead, the
// server through its own port setting and the joiner here.
#include <cstdint>

uint16_t HostPort();
void SetHostPort(uint16_t port);
