#pragma once
// Starting another program with an exact argument vector and waiting for it to end.
//
// Lifecycle: Start() creates the process (or says why it could not); the caller then waits with
// WaitFor() as often as it likes, or with Wait() until the end. A ChildProcess that is destroyed
// before its program has ended waits for it, so no zombie is ever left behind.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ExitStatus {
    bool exited = false; // true: ended by exit() with `code`; false: ended by signal `code`
    int code = 0;

    bool Succeeded() const { return exited && code == 0; }
};

class ChildProcess {
  public:
    // Starts `program` (a path; not looked up on PATH) with `argv` as its whole argument vector,
    // argv[0] included. It inherits the current directory, the environment and the three standard
    // streams, but no other open file. On failure returns nullopt and puts the reason in `error`.
    static std::optional<ChildProcess>
    Start(const std::string& program, const std::vector<std::string>& argv, std::string& error);
    // The same with changes to the inherited environment: each "NAME=value" replaces or adds
    // that variable for the child only.
    static std::optional<ChildProcess> Start(const std::string& program,
                                             const std::vector<std::string>& argv,
                                             const std::vector<std::string>& environment,
                                             std::string& error);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ChildProcess(const ChildProcess&) = delete;
    ~ChildProcess();

    // Waits at most `timeout`; the exit status once the program has ended.
    std::optional<ExitStatus> WaitFor(std::chrono::milliseconds timeout);
    ExitStatus Wait();
    int Pid() const { return m_pid; }

  private:
    explicit ChildProcess(int pid) : m_pid(pid) {}

    int m_pid = -1;
    std::optional<ExitStatus> m_status;
};

// Starts the program and waits for its end. nullopt when it could not be started.
std::optional<ExitStatus> RunAndWait(const std::string& program,
                                     const std::vector<std::string>& argv, std::string& error);

// The first executable file named `name` in the directories of PATH, or nullopt.
std::optional<std::string> FindOnPath(const std::string& name);

} // namespace platform
