#include "httpd/ServerSettings.h"

#include "httpd/HttpClient.h"
#include "platform/SystemCalls.h"

namespace {

std::string OwnExecutableDirectory() {
    std::string directory;
    return platform::sys::ExecutableDirectory(directory) ? directory : ".";
}

} // namespace

void CShareDirectory::SetAlias(std::string_view alias) {
    if (alias.find('\\') != std::string_view::npos) {
        m_strAlias = alias;
    } else {
        const std::string_view rest = !alias.empty() && alias[0] == '/' ? alias.substr(1) : alias;
        std::string normal(1, '\\');
        normal.append(rest.begin(), rest.end());
        m_strAlias = std::move(normal);
    }
    if (m_strAlias.size() > 1 && m_strAlias.back() != '\\')
        m_strAlias.push_back('\\');
}

CServerSettings::CServerSettings() {
    CShareDirectory root;
    root.SetAlias("/");
    root.m_strPath = OwnExecutableDirectory();
    root.m_strDefaultFile = "default.htm";
    m_Directories.push_back(root);
    m_pClientClass = [] { return std::make_unique<CHttpClient>(); };
}
