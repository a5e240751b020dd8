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
//
// A command with a sink (UnzipSink) places the members itself: the library names them to it
// first, then hands each member's checked bytes to the descriptor the sink gives, and leaves the
// rest (where, under which name, whether at all) to the sink.
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "modpack/UnzipCommand.h"
#include "platform/Ascii.h"
#include "platform/SystemCalls.h"

namespace {

constexpr uint32_t kVersion = 160;
constexpr size_t kBufferSize = 256 * 1024;

namespace sys = platform::sys;

class Extraction {
  public:
    explicit Extraction(const UnzipCommand& command) : m_command(command), m_buffer(kBufferSize) {}

    int32_t Run() {
        if (!m_command.archivePath)
            return Fail(kUnzipErrorCommand, "", "no archive named");
        if (!m_command.sink && !ListCurrentDirectory())
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
        const zip_int64_t signedCount = zip_get_num_entries(archive, 0);
        const zip_uint64_t count = signedCount > 0 ? static_cast<zip_uint64_t>(signedCount) : 0;
        if (m_command.sink && !Announce(archive, count))
            m_stopped = true;
        for (zip_uint64_t i = 0; i < count && !m_stopped; ++i)
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
        sys::Directory dir(".");
        bool failed = false;
        while (const dirent* entry = dir.Next(failed))
            m_existing[platform::LowerAscii(entry->d_name)] = entry->d_name;
        return !failed;
    }

    bool Wanted(std::string_view baseName) const {
        if (m_command.patternCount == 0)
            return true;
        uint32_t count = std::min<uint32_t>(m_command.patternCount, kUnzipMaxPatterns);
        for (uint32_t i = 0; i < count && m_command.patterns[i]; ++i)
            if (platform::MatchesPattern(baseName, m_command.patterns[i]))
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

    // The base name of a member that is to be extracted, nothing for one that is passed over.
    std::optional<std::string_view> BaseNameToExtract(zip_t* archive, zip_uint64_t index,
                                                      const zip_stat_t& stat) const {
        std::string_view fullName = stat.name;
        size_t cut = fullName.find_last_of("/\\");
        std::string_view baseName =
            cut == std::string_view::npos ? fullName : fullName.substr(cut + 1);
        if (baseName.empty() || baseName == "." || baseName == ".." ||
            IsFolderOrLink(archive, index) || !Wanted(baseName))
            return std::nullopt;
        return baseName;
    }

    // Names every member to come to the sink; false when it wants none of them written.
    bool Announce(zip_t* archive, zip_uint64_t count) {
        const UnzipSink& sink = *m_command.sink;
        zip_stat_t stat;
        for (zip_uint64_t i = 0; i < count; ++i) {
            // A member without a readable entry is reported when its turn comes.
            if (zip_stat_index(archive, i, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
                continue;
            if (const auto baseName = BaseNameToExtract(archive, i, stat)) {
                if (sink.announce(sink.context, std::string(*baseName).c_str()) != 0) {
                    ++m_errors;
                    return false;
                }
            }
        }
        if (sink.announce(sink.context, nullptr) == 0)
            return true;
        ++m_errors;
        return false;
    }

    void ExtractMember(zip_t* archive, zip_uint64_t index) {
        zip_stat_t stat;
        if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME)) {
            Fail(kUnzipErrorArchive, "?", zip_strerror(archive));
            return;
        }
        const std::string_view fullName = stat.name;
        const auto baseName = BaseNameToExtract(archive, index, stat);
        if (!baseName)
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
        if (m_command.sink)
            HandMember(member, fullName, std::string(*baseName));
        else
            WriteMember(member, fullName, std::string(*baseName));
        zip_fclose(member);
    }

    // Why a member's bytes did not all reach their file, if they did not.
    struct Problem {
        int32_t code = kUnzipErrorWrite;
        std::string what;   // the member, as messages name it
        std::string detail; // empty: no problem
    };

    // Inflates the member into `fd` (-1: reads and checks it only), counting its bytes against
    // the command's limit. libzip checks the member's CRC as its last bytes are read.
    Problem Copy(zip_file_t* member, std::string_view fullName, int fd) {
        Problem problem{kUnzipErrorWrite, std::string(fullName), {}};
        for (;;) {
            zip_int64_t got = zip_fread(member, m_buffer.data(), m_buffer.size());
            if (got < 0) {
                problem.code = kUnzipErrorData;
                problem.detail = zip_error_strerror(zip_file_get_error(member));
                return problem;
            }
            if (got == 0)
                return problem;
            m_written += static_cast<uint64_t>(got);
            // Counted as it inflates: the sizes an archive declares may lie.
            if (m_command.byteLimit != 0 && m_written > m_command.byteLimit) {
                problem.code = kUnzipErrorTooLarge;
                problem.what = ArchiveName() + ": " + problem.what;
                problem.detail = "more than the " + std::to_string(m_command.byteLimit) +
                                 " bytes this extraction may write";
                return problem;
            }
            if (fd >= 0 &&
                !sys::WriteAll(fd, std::string_view(m_buffer.data(), static_cast<size_t>(got)))) {
                problem.detail = std::strerror(errno);
                return problem;
            }
        }
    }

    // Damaged data stops only its member; every other failure stops the extraction.
    void Report(const Problem& problem) {
        m_stopped = problem.code != kUnzipErrorData;
        Fail(problem.code, problem.what, problem.detail);
    }

    void HandMember(zip_file_t* member, std::string_view fullName, const std::string& baseName) {
        const UnzipSink& sink = *m_command.sink;
        errno = 0;
        const int fd = sink.open(sink.context, baseName.c_str());
        if (fd < 0 && errno != 0) {
            m_stopped = true;
            Fail(kUnzipErrorWrite, baseName, std::strerror(errno));
            return;
        }
        const Problem problem = Copy(member, fullName, fd);
        if (sink.close(sink.context, baseName.c_str(), problem.detail.empty() ? 1 : 0) != 0) {
            m_stopped = true;
            ++m_errors;
            return;
        }
        if (!problem.detail.empty()) {
            Report(problem);
            return;
        }
        if (fd >= 0)
            Note(baseName);
    }

    void WriteMember(zip_file_t* member, std::string_view fullName, const std::string& baseName) {
        const std::string key = platform::LowerAscii(baseName);
        const auto existing = m_existing.find(key);
        const std::string target = existing != m_existing.end() ? existing->second : baseName;
        // A new name is written as a file without a name and linked in once complete: one
        // change to the folder per member, as plain unzip makes, where a named temporary file
        // and its rename make three. A name that exists is replaced by rename, which a link
        // cannot do; so is every name where the file system has no unnamed files.
        bool unnamed = existing == m_existing.end() && m_unnamedFiles;
        sys::FileDescriptor fd;
        if (unnamed) {
            fd = sys::OpenUnnamed("", 0644);
            unnamed = m_unnamedFiles = fd.IsOpen();
        }
        std::string tempName;
        if (!unnamed)
            fd = sys::CreateUniqueFile("", ".unzdll-", tempName);
        if (!fd.IsOpen()) {
            m_stopped = true;
            Fail(kUnzipErrorWrite, baseName, std::strerror(errno));
            return;
        }
        Problem problem = Copy(member, fullName, fd.Get());
        const auto failed = [&problem] {
            if (problem.detail.empty())
                problem.detail = std::strerror(errno);
        };
        if (problem.detail.empty() && !unnamed && !sys::ChangeMode(fd.Get(), 0644))
            failed();
        if (problem.detail.empty() && unnamed && !sys::LinkUnnamed(fd.Get(), target))
            failed();
        if (!fd.Close())
            failed();
        if (problem.detail.empty() && !unnamed && !sys::Rename(tempName, target)) {
            problem = {kUnzipErrorWrite, baseName, std::strerror(errno)};
        }
        if (!problem.detail.empty()) {
            if (!unnamed)
                sys::Unlink(tempName);
            Report(problem);
            return;
        }
        m_existing.emplace(key, baseName);
        Note(target);
    }

    std::string ArchiveName() const {
        const std::string_view path = m_command.archivePath;
        return std::string(path.substr(path.find_last_of('/') + 1));
    }

    const UnzipCommand& m_command;
    std::vector<char> m_buffer;
    std::unordered_map<std::string, std::string> m_existing; // lower-cased name -> name on disk
    int32_t m_errors = 0;
    uint64_t m_written = 0; // bytes of every member so far, kept or not
    bool m_stopped = false;
    // O_TMPFILE works here until shown otherwise.
    bool m_unnamedFiles = true;
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
