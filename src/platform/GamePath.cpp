#include "platform/GamePath.h"

#include "platform/Ascii.h"
#include "platform/SystemCalls.h"
#include "platform/WindowsText.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

namespace {

std::vector<std::string_view> SplitComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The name in `directory` that equals `wanted` without regard to letter case. Exact matches were
// ruled out by the caller; when several names differ only in case, the byte-wise smallest wins so
// that every run picks the same file.
std::optional<std::string> FindIgnoringCase(const std::string& directory, std::string_view wanted) {
    sys::Directory dir(directory);
    std::optional<std::string> best;
    bool failed = false;
    while (const dirent* entry = dir.Next(failed)) {
        const std::string_view name(entry->d_name);
        if (EqualsIgnoringCase(name, wanted) && (!best || name < *best))
            best = std::string(name);
    }
    return best;
}

struct Loan {
    std::string folder;
    const FolderNames* names;
};
// Few at a time (an installation lends three folders), so a list searched from the newest.
thread_local std::vector<Loan> t_loans;

std::optional<std::string> FindInFolder(const std::string& directory, std::string_view wanted) {
    for (auto loan = t_loans.rbegin(); loan != t_loans.rend(); ++loan) {
        if (loan->folder == directory)
            return loan->names->Find(wanted);
    }
    return FindIgnoringCase(directory, wanted);
}

} // namespace

LentFolderNames::LentFolderNames(std::string folder, const FolderNames& names)
    : m_folder(std::move(folder)), m_names(&names) {
    while (m_folder.size() > 1 && m_folder.back() == '/')
        m_folder.pop_back();
    t_loans.push_back({m_folder, m_names});
}

LentFolderNames::~LentFolderNames() {
    for (auto loan = t_loans.rbegin(); loan != t_loans.rend(); ++loan) {
        if (loan->names == m_names && loan->folder == m_folder) {
            t_loans.erase(std::next(loan).base());
            return;
        }
    }
}

std::string ResolvePath(std::string_view path) {
    std::string slashed(path);
    for (char& c : slashed) {
        if (c == '\\')
            c = '/';
    }
    if (slashed.empty())
        return slashed;

    // A name in a lent folder: the lender resolved the folder, so only the name is looked up.
    std::optional<std::string> lent;
    if (const size_t slash = slashed.rfind('/');
        !t_loans.empty() && slash != std::string::npos && slash > 0 && slash + 1 < slashed.size()) {
        const std::string_view folder(slashed.data(), slash);
        const std::string_view name = std::string_view(slashed).substr(slash + 1);
        for (auto loan = t_loans.rbegin(); loan != t_loans.rend(); ++loan) {
            if (loan->folder == folder && name != "." && name != "..") {
                const std::optional<std::string> found = loan->names->Find(name);
                lent = std::string(folder) + "/" + (found ? *found : std::string(name));
                break;
            }
        }
    }
    // The path as written is the answer when it exists, and the lender's answer otherwise: where
    // that is the path as written too, no call is needed to choose (thousands of new files in a
    // lent folder cost no look-up each).
    if (lent && *lent == slashed)
        return slashed;
    // The usual case: every component exists as written, and one call proves it.
    struct stat status {};
    if (sys::LinkStatus(slashed, status))
        return slashed;
    if (lent)
        return *lent;

    const bool absolute = slashed.front() == '/';
    const bool trailingSlash = slashed.back() == '/';
    std::string resolved = absolute ? "/" : "";
    bool searching = true; // false once a component is missing: nothing below it exists either
    for (const std::string_view part : SplitComponents(slashed)) {
        const std::string directory = resolved;
        if (!resolved.empty() && resolved.back() != '/')
            resolved += '/';
        const size_t partStart = resolved.size();
        resolved.append(part);
        if (!searching || part == "." || part == "..")
            continue;
        if (sys::LinkStatus(resolved, status))
            continue;
        if (auto found = FindInFolder(directory, part)) {
            resolved.replace(partStart, std::string::npos, *found);
        } else {
            searching = false;
        }
    }
    if (trailingSlash && !resolved.empty() && resolved.back() != '/')
        resolved += '/';
    return resolved;
}

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\' || c == ':')
            return false;
    }
    return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    // Names are compared by the thousand while folders are searched: bytes are compared as they
    // come, and only a difference beyond ASCII needs the whole names folded.
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) == LowerAscii(b[i]))
            continue;
        if (static_cast<unsigned char>(a[i]) < 0x80 && static_cast<unsigned char>(b[i]) < 0x80)
            return false;
        return FoldCase(a) == FoldCase(b);
    }
    return true;
}

std::string ToLower(std::string_view text) {
    return FoldCase(text);
}

} // namespace platform
