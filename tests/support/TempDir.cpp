#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace testing_support {

namespace {

// Tests make folders read-only to provoke failures; give them back so everything can go.
void MakeRemovable(const fs::path& root) {
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(root, error)))
        return;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    for (const auto& entry : fs::directory_iterator(root, error))
        MakeRemovable(entry.path());
}

std::optional<std::string> Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Walks the tree below `root` in name order; `withContent` reads each file's bytes as well.
std::map<std::string, std::string> Walk(const std::string& root, bool withContent) {
    std::map<std::string, std::string> tree;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        // Lexically: fs::relative would follow a symbolic link and name its target instead.
        const std::string name = it->path().lexically_relative(root).generic_string();
        if (it->is_symlink())
            tree[name] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            tree[name + "/"] = "";
        else
            tree[name] = withContent ? Read(it->path()).value_or("") : "";
    }
    return tree;
}

} // namespace

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "korvane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary directory under " + pattern);
    m_path = pattern;
}

TempDir::~TempDir() {
    MakeRemovable(m_path);
    std::error_code error;
    fs::remove_all(m_path, error);
}

std::string TempDir::operator/(std::string_view relative) const {
    return relative.empty() ? m_path : m_path + "/" + std::string(relative);
}

void TempDir::WriteFile(std::string_view relative, std::string_view bytes) const {
    const fs::path path = *this / relative;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

void TempDir::MakeDirectory(std::string_view relative) const {
    fs::create_directories(*this / relative);
}

std::optional<std::string> TempDir::ReadFile(std::string_view relative) const {
    return Read(*this / relative);
}

std::vector<std::string> TempDir::ListTree(std::string_view relative) const {
    return testing_support::ListTree(*this / relative);
}

std::map<std::string, std::string> TempDir::Snapshot(std::string_view relative) const {
    return SnapshotTree(*this / relative);
}

std::vector<std::string> ListTree(const std::string& root) {
    std::vector<std::string> names;
    for (const auto& entry : Walk(root, false))
        names.push_back(entry.first);
    return names;
}

std::map<std::string, std::string> SnapshotTree(const std::string& root) {
    return Walk(root, true);
}

} // namespace testing_support
