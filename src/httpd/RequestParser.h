#pragma once
// Turns a request head into a CRequestInfo. Pure functions from text to fields: no socket, no
// state shared between calls, so they can be tested and fuzzed on bytes alone.
#include <string>
#include <string_view>

#include "httpd/RequestInfo.h"

// Parses the head (request line, then header lines, at line feeds with a carriage return before
// them dropped; the text counts up to its first zero byte). The result is that of the request
// line; the header lines are read even when it fails. Only If-Modified-Since and Authorization
// are used, each taken only when its value parses.
bool ParseRequest(std::string_view text, CRequestInfo& request);

// "METHOD target [HTTP/major.minor]", tokens separated by runs of spaces. Without a version only
// GET is accepted (version 9).
bool ParseRequestLine(std::string_view line, CRequestInfo& request);

// Name and value around the first colon, white space removed at both ends; false without colon.
bool SplitHeaderLine(std::string_view line, std::string& name, std::string& value);

// Replaces each "%" and two hex digits by its byte; any other "%" stays.
std::string PercentDecode(std::string_view text);
// 0 to 15 for a hex digit, -1 otherwise.
int HexDigitValue(char c);
