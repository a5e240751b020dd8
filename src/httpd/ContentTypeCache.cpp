#include "httpd/ContentTypeCache.h"

#include <fstream>
#include <sstream>

#include "platform/GamePath.h"

using platform::EqualsIgnoringCase;

CContentTypeCache::CContentTypeCache(std::string tablePath)
    : m_strTablePath(std::move(tablePath)) {}

void CContentTypeCache::SetTablePath(std::string tablePath) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_strTablePath = std::move(tablePath);
}

std::string CContentTypeCache::GetContentType(std::string_view extension) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (std::size_t i = 0; i < m_Extensions.size(); ++i) {
        if (EqualsIgnoringCase(m_Extensions[i], extension))
            return m_Types[i];
    }
    std::string type = LookUpTable(extension);
    if (type.empty())
        return kFallbackType;
    m_Extensions.emplace_back(extension);
    m_Types.push_back(type);
    return type;
}

std::string CContentTypeCache::LookUpTable(std::string_view extension) const {
    // The table lists extensions without their dot: "text/html html htm shtml".
    if (extension.size() < 2 || extension[0] != '.')
        return {};
    extension.remove_prefix(1);
    std::ifstream table(m_strTablePath);
    std::string line;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string type;
        std::string candidate;
        fields >> type;
        while (fields >> candidate) {
            if (EqualsIgnoringCase(candidate, extension))
                return type;
        }
    }
    return {};
}
