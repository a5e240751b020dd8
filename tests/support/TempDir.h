#pragma once
// A fresh directory under the system's temporary folder, removed with everything in it when the
// test ends. Relative paths below use slashes and may name sub-folders ("bin/Override/a.tga").
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Path() + "/" + relative (Path() itself for an empty one).
    std::string operator/(std::string_view relative) const;

    // Creates the file (and the folders on the way) with exactly these bytes.
    void WriteFile(std::string_view relative, std::string_view bytes) const;
    void MakeDirectory(std::string_view relative) const;
    std::optional<std::string> ReadFile(std::string_view relative) const;
    std::vector<std::string> ListTree(std::string_view relative = {}) const;
    std::map<std::string, std::string> Snapshot(std::string_view relative = {}) const;

  private:
    std::string m_path;
};

// Every entry below `root` as a relative path, sorted; folders end with "/".
std::vector<std::string> ListTree(const std::string& root);
// The whole tree below `root`: each file's relative path mapped to its bytes, each folder
// ("name/") to "", each symbolic link to "-> " + its target. Two equal snapshots mean nothing
// was added, removed or changed.
std::map<std::string, std::string> SnapshotTree(const std::string& root);

} // namespace testing_support
