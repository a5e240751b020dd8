#pragma once
// Runs one of our executables as a real child process for the tests of this folder: standard
// input from /dev/null (so it is never a terminal), standard output and error captured in files.
#include <string>
#include <vector>

namespace app_tests {

struct ChildResult {
    int status = -1; // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

class Child {
public:
    // Starts `program` with `args` (argv[0] is added) in the background.
    Child(const std::string& program, const std::vector<std::string>& args, const std::string& workDir);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    ChildResult Wait();

private:
    int m_pid = -1;
    std::string m_outPath;
    std::string m_errPath;
};

ChildResult Run(const std::string& program, const std::vector<std::string>& args,
                const std::string& workDir);

} // namespace app_tests
