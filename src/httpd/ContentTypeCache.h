#pragma once
// Content types by file extension, read from the system's MIME table and remembered.
//
// A known extension is read from the table once and then served from memory for the life of the
// cache; an unknown one gets "text/plain" and is looked up again next time, since the table may
// gain it. One lock guards each lookup.
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class CContentTypeCache {
  public:
    static constexpr const char* kSystemTable = "/etc/mime.types";
    static constexpr const char* kFallbackType = "text/plain";

    explicit CContentTypeCache(std::string tablePath = kSystemTable);

    // `extension` with its dot (".htm"), matched without regard to letter case.
    std::string GetContentType(std::string_view extension);

    // Points the lookups at another table (tests); what is cached stays cached.
    void SetTablePath(std::string tablePath);

  private:
    // The table's answer, empty when it has none or cannot be read.
    std::string LookUpTable(std::string_view extension) const;

    std::mutex m_lock;
    std::string m_strTablePath;
    std::vector<std::string> m_Extensions;
    std::vector<std::string> m_Types;
};
