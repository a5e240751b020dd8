#pragma once
// A registry store of its own for each test: a file in a fresh temporary folder that
// KORVANE_REGISTRY points at, and recorded message boxes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "RecordingMessageBoxes.h"
#include "TempDir.h"

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() { ::setenv("KORVANE_REGISTRY", RegistryPath().c_str(), 1); }
    ~RegistryTest() override { ::unsetenv("KORVANE_REGISTRY"); }

    std::string RegistryPath() const { return m_dir / "config/registry.reg"; }
    void WriteRegistry(const std::string& body) const
    {
        m_dir.WriteFile("config/registry.reg", "REGEDIT4\r\n\r\n" + body);
    }
    std::string ReadRegistry() const { return m_dir.ReadFile("config/registry.reg").value_or("<missing>"); }

    testing_support::TempDir m_dir;
    testing_support::ScopedMessageRecorder m_messages;
};
