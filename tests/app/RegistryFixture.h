#pragma once
// A registry store of its own for each test: a file in a fresh temporary folder that
// KORVANE_REGISTRY points at, recorded message boxes, and our executables run as real children.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "RecordingMessageBoxes.h"
#include "TempDir.h"

struct ChildResult {
    int status = -1; // exit status (128 + n when signal n ended it)
    std::string out;
    std::string err;
};

class RegistryTest : public ::testing::Test {
  protected:
    RegistryTest() { ::setenv("KORVANE_REGISTRY", RegistryPath().c_str(), 1); }
    ~RegistryTest() override { ::unsetenv("KORVANE_REGISTRY"); }

    std::string RegistryPath() const { return m_dir / "config/registry.reg"; }
    void WriteRegistry(const std::string& body) const {
        m_dir.WriteFile("config/registry.reg", "REGEDIT4\r\n\r\n" + body);
    }
    std::string ReadRegistry() const {
        return m_dir.ReadFile("config/registry.reg").value_or("<missing>");
    }

    // Runs one of our executables as a real child. Standard input is /dev/null, so the program
    // never finds a terminal to ask. No argument of these tests holds a single quote.
    ChildResult Run(const std::string& program, const std::vector<std::string>& args) const {
        std::string command = "'" + program + "'";
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        const int status = std::system((command + " </dev/null >'" + (m_dir / "child.out") +
                                        "' 2>'" + (m_dir / "child.err") + "'")
                                           .c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                m_dir.ReadFile("child.out").value_or(""), m_dir.ReadFile("child.err").value_or("")};
    }

    testing_support::TempDir m_dir;
    testing_support::ScopedMessageRecorder m_messages;
};
