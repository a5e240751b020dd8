// libunzdll.so: the unzip library of the engine, our stand-in for UNZDLL.DLL, built on libzip.
//
// What the call sites rely on, and all this library promises: every member whose base name
// matches a pattern (every member when there is none) becomes a plain file directly in the
// current directory, replacing a file of that name in any letter case, as Windows would. Folder
// parts of member names are dropped ("/" and "\" alike), so nothing is ever written outside the
// current directory. Folders, symbolic links and members without a usable base name are skipped.
// A member is written to a temporary file and renamed into place only once it is complete, so a
// failure (damaged data, full disk) leaves no partial file. Errors reach the caller only through
// its callback. A member that cannot be written ends the extraction there: on a full disk every
// later member would fail too, each with a message of its own. So does passing the command's
// byte limit, which keeps a small archive that inflates to gigabytes from filling the disk.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "modpack/UnzipCommand.h"

namespace {

constexpr uint32_t kVersion = 160;
constexpr size_t kBufferSize = 256 * 1024;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = Lower(c);
    return out;
}

// '*' and '?' wildcards, without regard to letter case.
bool Matches(std::string_view name, std::string_view pattern) {
    size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

class Extraction {
  public:
    explicit Extraction(const UnzipCommand& command) : m_command(command), m_buffer(kBufferSize) {}

    int32_t Run() {
        if (!m_command.archivePath)
            return Fail(kUnzipErrorCommand, "", "no archive named");
        if (!ListCurrentDirectory())
            return Fail(kUnzipErrorDirectory, ".", std::strerror(errno));
        int code = 0;
        zip_t* archive = zip_open(m_command.archivePath, ZIP_RDONLY, &code);
        if (!archive) {
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            Fail(kUnzipErrorArchive, m_command.archivePath, zip_error_strerror(&error));
            zip_error_fini(&error);
            return m_errors;
        }
        zip_int64_t count = zip_get_num_entries(archive, 0);
        for (zip_uint64_t i = 0; count > 0 && i < static_cast<zip_uint64_t>(count) && !m_stopped;
             ++i)
            ExtractMember(archive, i);
        zip_discard(archive);
        return m_errors;
    }

  private:
    int32_t Fail(int32_t code, std::string_view what, std::string_view why) {
        ++m_errors;
        if (!m_command.callback)
            return m_errors;
        UnzipMessage message{};
        message.errorCode = code;
        std::snprintf(message.text, sizeof message.text, "%.*s: %.*s",
                      static_cast<int>(what.size()), what.data(), static_cast<int>(why.size()),
                      why.data());
        m_command.callback(&message);
        return m_errors;
    }

    // A progress note (error number 0): the caller shows nothing for it.
    void Note(std::string_view name) {
        if (!m_command.callback)
            return;
        UnzipMessage message{};
        std::snprintf(message.text, sizeof message.text, "%.*s", static_cast<int>(name.size()),
                      name.data());
        m_command.callback(&message);
    }

    bool ListCurrentDirectory() {
        DIR* dir = opendir(".");
        if (!dir)
            return false;
        while (dirent* entry = readdir(dir))
            m_existing[LowerCopy(entry->d_name)] = entry->d_name;
        closedir(dir);
        return true;
    }

    bool Wanted(std::string_view baseName) const {
        if (m_command.patternCount == 0)
            return true;
        uint32_t count = std::min<uint32_t>(m_command.patternCount, kUnzipMaxPatterns);
        for (uint32_t i = 0; i < count && m_command.patterns[i]; ++i)
            if (Matches(baseName, m_command.patterns[i]))
                return true;
        return false;
    }

    static bool IsFolderOrLink(zip_t* archive, zip_uint64_t index) {
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
            return false;
        if (system == ZIP_OPSYS_UNIX) {
            mode_t mode = (attributes >> 16) & S_IFMT;
            if (mode == S_IFLNK || mode == S_IFDIR)
                return true;
        }
        return system == ZIP_OPSYS_DOS && (attributes & 0x10) != 0;
    }

    void ExtractMember(zip_t* archive, zip_uint64_t index) {
        zip_stat_t stat;
        if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME)) {
            Fail(kUnzipErrorArchive, "?", zip_strerror(archive));
            return;
        }
        std::string_view fullName = stat.name;
        size_t cut = fullName.find_last_of("/\\");
        std::string_view baseName =
            cut == std::string_view::npos ? fullName : fullName.substr(cut + 1);
        if (baseName.empty() || baseName == "." || baseName == ".." ||
            IsFolderOrLink(archive, index))
            return;
        if (!Wanted(baseName))
            return;
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            Fail(kUnzipErrorEncrypted, fullName, "encrypted member, no password given");
            return;
        }
        if ((stat.valid & ZIP_STAT_COMP_METHOD) &&
            !zip_compression_method_supported(stat.comp_method, 0)) {
            Fail(kUnzipErrorMethod, fullName, "unsupported compression method");
            return;
        }
        zip_file_t* member = zip_fopen_index(archive, index, 0);
        if (!member) {
            Fail(kUnzipErrorData, fullName, zip_strerror(archive));
            return;
        }
        WriteMember(member, fullName, std::string(baseName));
        zip_fclose(member);
    }

    void WriteMember(zip_file_t* member, std::string_view fullName, const std::string& baseName) {
        const std::string key = LowerCopy(baseName);
        const auto existing = m_existing.find(key);
        const std::string target = existing != m_existing.end() ? existing->second : baseName;
        // A new name is written as a file without a name and linked in once complete: one
        // change to the folder per member, as plain unzip makes, where a named temporary file
        // and its rename make three. A name that exists is replaced by rename, which a link
        // cannot do; so is every name where the file system has no unnamed files.
        char tempName[] = ".unzdll-XXXXXX";
        bool unnamed = existing == m_existing.end() && m_unnamedFiles;
        int fd = unnamed ? open(".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644) : -1;
        if (unnamed && fd < 0) {
            m_unnamedFiles = false;
            unnamed = false;
        }
        if (!unnamed)
            fd = mkostemp(tempName, O_CLOEXEC);
        if (fd < 0) {
            m_stopped = true;
            Fail(kUnzipErrorWrite, baseName, std::strerror(errno));
            return;
        }
        const char* problem = nullptr;
        int32_t code = kUnzipErrorWrite;
        std::string detail;
        std::string what(fullName);
        for (;;) {
            zip_int64_t got = zip_fread(member, m_buffer.data(), m_buffer.size());
            if (got < 0) {
                code = kUnzipErrorData;
                detail = zip_error_strerror(zip_file_get_error(member));
                problem = detail.c_str();
                break;
            }
            if (got == 0)
                break;
            m_written += static_cast<uint64_t>(got);
            // Counted as it inflates: the sizes an archive declares may lie.
            if (m_command.byteLimit != 0 && m_written > m_command.byteLimit) {
                code = kUnzipErrorTooLarge;
                what = ArchiveName() + ": " + what;
                detail = "more than the " + std::to_string(m_command.byteLimit) +
                         " bytes this extraction may write";
                problem = detail.c_str();
                break;
            }
            if (!WriteAll(fd, m_buffer.data(), static_cast<size_t>(got))) {
                problem = std::strerror(errno);
                break;
            }
        }
        if (!problem && !unnamed && fchmod(fd, 0644) != 0)
            problem = std::strerror(errno);
        if (!problem && unnamed) {
            const std::string self = "/proc/self/fd/" + std::to_string(fd);
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0)
                problem = std::strerror(errno);
        }
        if (close(fd) != 0 && !problem)
            problem = std::strerror(errno);
        if (problem) {
            if (!unnamed)
                unlink(tempName);
            m_stopped = code != kUnzipErrorData;
            Fail(code, what, problem);
            return;
        }
        if (!unnamed && rename(tempName, target.c_str()) != 0) {
            int error = errno;
            unlink(tempName);
            m_stopped = true;
            Fail(kUnzipErrorWrite, baseName, std::strerror(error));
            return;
        }
        m_existing.emplace(key, baseName);
        Note(target);
    }

    std::string ArchiveName() const {
        const std::string_view path = m_command.archivePath;
        return std::string(path.substr(path.find_last_of('/') + 1));
    }

    static bool WriteAll(int fd, const char* data, size_t size) {
        while (size > 0) {
            ssize_t written = write(fd, data, size);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            data += written;
            size -= static_cast<size_t>(written);
        }
        return true;
    }

    const UnzipCommand& m_command;
    std::vector<char> m_buffer;
    std::unordered_map<std::string, std::string> m_existing; // lower-cased name -> name on disk
    int32_t m_errors = 0;
    uint64_t m_written = 0; // bytes of every member so far, kept or not
    bool m_stopped = false;
    // O_TMPFILE works here until shown otherwise; its files are linked in through /proc.
    bool m_unnamedFiles = access("/proc/self/fd", F_OK) == 0;
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) uint32_t GetUnzDllVersion() {
    return kVersion;
}

// Returns the number of members that failed; callers rely on the callback, not on this.
__attribute__((visibility("default"))) int32_t UnzDllExec(UnzipCommand* command) {
    if (!command)
        return 1;
    return Extraction(*command).Run();
}

} // extern "C"
