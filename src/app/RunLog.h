#pragma once
// The debug trace, KRVRun.log in the own directory, written only when started with -krvdebug.
#include <cstdio>
#include <string>

class CRunLog {
  public:
    // Looks for "-krvdebug" among argv[1..argc-1], empties every occurrence in place and, when
    // found, creates KRVRun.log anew with its banner. When the file cannot be opened (another
    // traced instance holds it) shows "Korvane already running" and ends the process with status 1.
    // When the store cannot be read or holds no full own directory, no log is made and the start
    // goes on (GetRegistryItems says what is wrong). First of all it makes a relative
    // $KORVANE_REGISTRY absolute, while the current directory is still the one started in.
    CRunLog(int argc, char** argv);
    ~CRunLog();
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;

    // Writes the text and a line end, flushed before it returns. Does nothing when tracing is off
    // or no log could be made.
    void Log(std::string text);
    bool IsEnabled() const { return m_bEnabled; }

  private:
    std::FILE* m_file = nullptr;
    bool m_bEnabled = false;
};

// The program's run log, set by the one CRunLog that main() constructs first; null before that
// (and in tests that construct none), in which case Log() does nothing.
extern CRunLog* g_pRunLog;

// The run log's one operation, for every part of the program.
void Log(std::string text);
