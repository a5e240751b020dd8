#include "platform/Process.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

ExitStatus StatusFromWait(int raw) {
    if (WIFEXITED(raw))
        return ExitStatus{true, WEXITSTATUS(raw)};
    return ExitStatus{false, WIFSIGNALED(raw) ? WTERMSIG(raw) : 0};
}

// Short enough that a window waiting in a loop stays lively, long enough to cost nothing.
constexpr std::chrono::milliseconds kPollStep{10};

} // namespace

std::optional<ChildProcess> ChildProcess::Start(const std::string& program,
                                                const std::vector<std::string>& argv,
                                                std::string& error) {
    return Start(program, argv, {}, error);
}

std::optional<ChildProcess> ChildProcess::Start(const std::string& program,
                                                const std::vector<std::string>& argv,
                                                const std::vector<std::string>& environment,
                                                std::string& error) {
    std::vector<char*> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view inherited(*entry);
        const std::string_view name = inherited.substr(0, inherited.find('=') + 1);
        bool replaced = false;
        for (const std::string& change : environment)
            replaced = replaced ||
                       (!name.empty() && std::string_view(change).substr(0, name.size()) == name);
        if (!replaced)
            env.push_back(*entry);
    }
    for (const std::string& change : environment)
        env.push_back(const_cast<char*>(change.c_str()));
    env.push_back(nullptr);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // The game must not inherit the server's listening socket or the run log's lock: it would keep
    // the port or the lock after Korvane has let them go.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The child starts with every signal at its default and none blocked, whatever the toolkit
    // did to this process's dispositions.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int rc =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        error = program + ": " + std::strerror(rc);
        return std::nullopt;
    }
    return ChildProcess(pid);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : m_pid(other.m_pid), m_status(other.m_status) {
    other.m_pid = -1;
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && !m_status)
        Wait();
}

std::optional<ExitStatus> ChildProcess::WaitFor(std::chrono::milliseconds timeout) {
    if (m_status || m_pid <= 0)
        return m_status;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int raw = 0;
        const pid_t got = waitpid(m_pid, &raw, WNOHANG);
        if (got == m_pid) {
            m_status = StatusFromWait(raw);
            return m_status;
        }
        if (got < 0 && errno != EINTR) {
            // Someone else reaped it (a SIGCHLD handler set to ignore): the status is lost.
            m_status = ExitStatus{false, 0};
            return m_status;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kPollStep, deadline - now));
    }
}

ExitStatus ChildProcess::Wait() {
    if (m_status || m_pid <= 0)
        return m_status.value_or(ExitStatus{});
    int raw = 0;
    pid_t got;
    do {
        got = waitpid(m_pid, &raw, 0);
    } while (got < 0 && errno == EINTR);
    m_status = got == m_pid ? StatusFromWait(raw) : ExitStatus{false, 0};
    return *m_status;
}

std::optional<ExitStatus> RunAndWait(const std::string& program,
                                     const std::vector<std::string>& argv, std::string& error) {
    std::optional<ChildProcess> child = ChildProcess::Start(program, argv, error);
    if (!child)
        return std::nullopt;
    return child->Wait();
}

std::optional<std::string> FindOnPath(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0 ? std::optional<std::string>(name) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        if (colon == std::string::npos)
            colon = dirs.size();
        // An empty entry names the current folder.
        const std::string dir = colon > start ? dirs.substr(start, colon - start) : ".";
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = colon + 1;
    }
    return std::nullopt;
}

} // namespace platform
