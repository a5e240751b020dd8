#include "httpd/Console.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <vector>

#include "httpd/HttpLimits.h"
#include "platform/SystemCalls.h"
#include "platform/WindowsText.h"

namespace {

// One of the process's standard outputs, written without ever waiting.
class Output {
  public:
    explicit Output(int fd) : m_fd(fd) {}

    // Queues the text behind what waits already and writes what the output takes. A line that
    // does not fit into the backlog is dropped and counted.
    void Put(std::string_view text, bool isLine) {
        std::lock_guard<std::mutex> guard(m_lock);
        Flush();
        if (m_pending.size() + text.size() > httpd::kConsoleBacklogBytes) {
            if (isLine)
                ++m_nDropped;
            return;
        }
        m_pending.append(text);
        Flush();
    }

    void Flush() {
        for (;;) {
            const int target = Target();
            while (target >= 0 && !m_pending.empty()) {
                const ssize_t written = platform::sys::WriteSome(target, m_pending);
                if (written > 0) {
                    m_pending.erase(0, static_cast<std::size_t>(written));
                } else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                    // A broken output (its reader gone) takes nothing ever again: what waits is
                    // lost, and counted.
                    m_nDropped +=
                        static_cast<uint64_t>(std::count(m_pending.begin(), m_pending.end(), '\n'));
                    m_pending.clear();
                } else {
                    return;
                }
            }
            if (target < 0 || m_nDropped == 0)
                return;
            char notice[128];
            std::snprintf(notice, sizeof notice,
                          "(%llu lines of server output were dropped: the output did not take "
                          "them)\n",
                          static_cast<unsigned long long>(m_nDropped));
            m_nDropped = 0;
            m_pending = notice;
        }
    }

    void FlushNow() {
        std::lock_guard<std::mutex> guard(m_lock);
        Flush();
    }

  private:
    // The descriptor to write to without waiting, -1 when there is none. A pipe or a terminal is
    // opened anew with O_NONBLOCK: setting that flag on the standard output itself would change
    // it for every process that shares it. A regular file never waits on a reader and a socket
    // is written with MSG_DONTWAIT, so both are written as they are. The standard output may be
    // replaced while the program runs (tests capture it), so its identity is checked each time.
    int Target() {
        struct stat status {};
        if (!platform::sys::FileStatus(m_fd, status))
            return -1;
        if (m_reopened.IsOpen() && status.st_dev == m_device && status.st_ino == m_inode)
            return m_reopened.Get();
        m_reopened = platform::sys::FileDescriptor();
        if (!S_ISFIFO(status.st_mode) && !S_ISCHR(status.st_mode))
            return m_fd;
        m_reopened = platform::sys::Open("/proc/self/fd/" + std::to_string(m_fd),
                                         O_WRONLY | O_NONBLOCK | O_NOCTTY | O_APPEND);
        m_device = status.st_dev;
        m_inode = status.st_ino;
        return m_reopened.IsOpen() ? m_reopened.Get() : -1;
    }

    const int m_fd;
    std::mutex m_lock;
    std::string m_pending;
    uint64_t m_nDropped = 0;
    platform::sys::FileDescriptor m_reopened;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

// Never destroyed: a thread may still print while the process ends.
Output& StandardOutput() {
    static Output* output = new Output(STDOUT_FILENO);
    return *output;
}

Output& StandardError() {
    static Output* output = new Output(STDERR_FILENO);
    return *output;
}

} // namespace

void PrintToConsole(const std::string& text) {
    StandardOutput().Put(text, true);
}

void PrintToConsolef(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        std::vector<char> text(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        PrintToConsole(std::string(text.data(), static_cast<std::size_t>(length)));
    }
    va_end(args);
}

void FlushConsole() {
    StandardOutput().FlushNow();
    StandardError().FlushNow();
}

bool RingBell() {
    if (!::isatty(STDERR_FILENO))
        return false;
    StandardError().Put("\a", false);
    return true;
}

std::string Printable(const std::string& text) {
    // A Windows peer sends its file names in Windows-1252: shown in the terminal's UTF-8, like
    // every other text from Windows, instead of bytes the terminal cannot show.
    const std::string decoded = platform::FromWindowsText(text);
    std::string printable;
    printable.reserve(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(decoded[i]);
        const bool c1 = c == 0xC2 && i + 1 < decoded.size() &&
                        static_cast<unsigned char>(decoded[i + 1]) < 0xA0;
        if (c < 0x20 || c == 0x7F || c1) {
            printable += '?';
            i += c1 ? 1 : 0;
        } else {
            printable += decoded[i];
        }
    }
    return printable;
}
