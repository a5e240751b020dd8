#pragma once
// Windows-style paths on a Linux file system.
//
// Every path the program builds is a directory followed by a literal beginning with a backslash
// (game + "\bin\Override\" + name). ResolvePath maps such a path onto the file system the way
// Windows and Wine would see it: backslashes become slashes, and each component that exists in
// another letter case is found as it is on disk ("bin\override" finds "bin/Override"). A component
// that does not exist keeps the case it was given, so a new file is created as named.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Maps a Windows-style path (absolute or relative to the current directory) to the real path.
std::string ResolvePath(std::string_view path);

// Resolving a name that is not on disk as written reads its whole folder, looking for the name in
// another case. An operation that adds thousands of files to one folder would read it once per
// file. Instead it may lend ResolvePath the names of the folder, which it keeps current itself:
// while the loan lasts, a missing last component in that folder is looked up there, and what the
// lender answers is taken as the name on disk (nullopt: the name is new and keeps its case).
class FolderNames {
  public:
    virtual ~FolderNames() = default;
    virtual std::optional<std::string> Find(std::string_view name) const = 0;
};

// Lends `names` for the folder `folder` (a path as ResolvePath returns it, without a trailing
// slash) for the lifetime of this object, on the calling thread only.
class LentFolderNames {
  public:
    LentFolderNames(std::string folder, const FolderNames& names);
    ~LentFolderNames();
    LentFolderNames(const LentFolderNames&) = delete;
    LentFolderNames& operator=(const LentFolderNames&) = delete;

  private:
    std::string m_folder;
    const FolderNames* m_names;
};

// True when `name` is a plain file name that stays inside the folder it is joined to: not empty,
// not "." or "..", no slash, backslash, colon or control character. Every name that comes from
// outside (an archive member, a network peer) passes through here before it becomes a path.
bool IsPlainFileName(std::string_view name);

// Lower-cased copy, the same in every locale: FoldCase of WindowsText.h (ASCII letters, and the
// Windows-1252 letters of UTF-8 names).
std::string ToLower(std::string_view text);

// Equal but for letter case as ToLower folds it, whatever the user's locale (strcasecmp would
// follow it, and in Turkish locales "I" and "i" are not the same letter).
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

} // namespace platform
