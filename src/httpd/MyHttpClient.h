#pragma once
// Korvane's handler: the plain handler plus one line on standard output for every parsed request:
// "<date>, <time>, <METHOD> <path>, <user or Anonymous>, <a.b.c.d>, <port>".
#include <string>

#include "httpd/HttpClient.h"

class CMyHttpClient : public CHttpClient {
  public:
    bool OnRequestParsed() override;
};

// The log line for a parsed request, local date and time as "MM/DD/YY" and "HH:MM:SS" in every
// locale.
std::string FormatRequestLogLine(const CRequestInfo& request);
