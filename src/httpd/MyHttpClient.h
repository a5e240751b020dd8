#pragma once
// Korvane's handler: the plain handler plus one line on standard output for every parsed request:
// "<date>, <time>, <METHOD> <path>, <user or Anonymous>, <a.b.c.d>, <port>".
#include <string>

#include "httpd/HttpClient.h"

class CMyHttpClient : public CHttpClient {
  public:
    bool OnRequestParsed() override;
};

// The log line for a parsed request, date and time in the user's locale (LC_TIME).
std::string FormatRequestLogLine(const CRequestInfo& request);
