#pragma once
// The server's only outputs besides the wire: lines on standard output and the terminal bell.
#include <string>

// Writes the text to standard output at once (flushed), in one piece even when threads race.
void PrintToConsole(const std::string& text);
// printf-style convenience for the server's fixed diagnostic lines.
void PrintToConsolef(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Rings the terminal bell on standard error when that is a terminal; true when it rang.
bool RingBell();

// Replaces control characters with "?", so text from the network cannot steer the terminal.
std::string Printable(const std::string& text);
