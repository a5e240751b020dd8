#include "httpd/HostedModpack.h"

std::string g_strHostedModpack;
