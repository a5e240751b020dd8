#pragma once
// The file name (with extension, no directory) of the modpack archive being hosted.
//
// The hosting session writes it before it starts the server, also when the archive is not shared;
// the listener only reads it while it runs. Empty before the first hosting session, never cleared.
// While it is empty the server answers neither the archive nor "/KRVInstall.exe".
#include <string>

extern std::string g_strHostedModpack;
