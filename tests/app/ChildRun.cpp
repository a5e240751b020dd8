#include "ChildRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace app_tests {

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace

Child::Child(const std::string& program, const std::vector<std::string>& args, const std::string& workDir)
{
    static int counter = 0;
    const std::string stem = workDir + "/child" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    m_outPath = stem + ".out";
    m_errPath = stem + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

Child::~Child()
{
    if (m_pid > 0)
        Wait();
}

ChildResult Child::Wait()
{
    ChildResult result;
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    m_pid = -1;
    result.out = Slurp(m_outPath);
    result.err = Slurp(m_errPath);
    ::unlink(m_outPath.c_str());
    ::unlink(m_errPath.c_str());
    return result;
}

ChildResult Run(const std::string& program, const std::vector<std::string>& args, const std::string& workDir)
{
    return Child(program, args, workDir).Wait();
}

} // namespace app_tests
