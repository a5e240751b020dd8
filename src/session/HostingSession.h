#pragma once
// Publishing the hosted modpack for joining players while the game runs: the Host action calls
// ServeLevel after installing the modpack and before starting the game, and StopServing after the
// game has exited.
#include <string>

#include "modpack/LevelInfo.h"

// Copies the archive into Share when `share` is set, writes Share\giantshost.htm and starts the
// HTTP server. False (after a message) when hosting must not go on.
bool ServeLevel(bool share, std::string alternateSource, const CLevelInfo& info);

// Stops the server, waiting for the connection it is serving, and empties Share.
void StopServing();
