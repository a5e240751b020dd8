#pragma once
// The server's only outputs besides the wire: lines on standard output and the terminal bell.
//
// Neither ever holds the server: when standard output is a pipe nobody reads, a stopped terminal
// or a socket that takes nothing, text waits in a bounded backlog and is written as soon as the
// output takes it again; what does not fit is dropped, and the number of dropped lines is written
// in their place once it can be. Lines are written whole, in the order they were printed.
#include <string>

// Writes the text to standard output now, or as soon as the output takes it.
void PrintToConsole(const std::string& text);
// printf-style convenience for the server's fixed diagnostic lines.
void PrintToConsolef(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Writes what waits in the backlog as far as the output takes it now (tests, the end of a run).
void FlushConsole();

// Rings the terminal bell on standard error when that is a terminal; true when it rang.
bool RingBell();

// Text from the network as it may reach the terminal: decoded as Windows text (valid UTF-8 stays,
// anything else is read as Windows-1252), every control character (C1 ones too) shown as "?", so
// it cannot steer the terminal.
std::string Printable(const std::string& text);
