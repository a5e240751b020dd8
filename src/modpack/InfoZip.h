#pragma once
// The wrapper that owns the unzip library for one operation: the catalogue and the installation
// each make one as a local, use it once and let the destructor unload the library.
//
// The library (libunzdll.so, our UNZDLL.DLL) is loaded at run time, so a missing or broken library
// is a failure of InitializeUnzip that the callers report, not a failure to start the program.
// Where it is looked for, first match wins: the path in KORVANE_UNZDLL when that is set (and only
// there, so tests can name a missing file); the private library folder of the installed layout
// relative to the executable (bin/../lib/<triplet>/korvane); beside the executable; and, for a
// program run from its build tree, the library built there.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "modpack/UnzipCommand.h"

class InfoZip {
  public:
    InfoZip() = default;
    ~InfoZip();
    InfoZip(const InfoZip&) = delete;
    InfoZip& operator=(const InfoZip&) = delete;

    bool InitializeUnzip();
    // Writes the defaults of a fresh command: the library's version, our callback, the flag words;
    // no archive and no pattern count yet. The pattern table is left alone.
    void PrepareCommand(UnzipCommand& command);
    // Runs the command; false only when the library is not held. The library's own result is
    // not examined: errors reach the player through UnzipCallback.
    bool Execute(UnzipCommand& command);
    bool FinalizeUnzip();

    // Where the members go when the caller places them itself (UnzipSink of the library).
    class Sink {
      public:
        virtual ~Sink() = default;
        // Each member to come, by base name, before any is read; then Announced(). False from
        // either ends the extraction before anything is written.
        virtual bool Announce(const std::string& name) = 0;
        virtual bool Announced() = 0;
        // A descriptor for the member's bytes, owned by the sink; -1 with errno 0 to have the
        // member only read and checked, -1 with errno set when it cannot be written.
        virtual int Open(const std::string& name) = 0;
        // The member opened last is complete and checked, or failed (then the library reports
        // it). False when it could not be put in place: the sink has said why, and the
        // extraction stops.
        virtual bool Close(const std::string& name, bool complete) = 0;
    };

    // The one extraction both callers make: every member of `archivePath` whose name matches one
    // of `patterns` (every member when there is none) into the current directory, or to `sink`
    // when given, writing at most `byteLimit` bytes in all (0: no limit). False only when the
    // library is not held; what went wrong inside is in LastReport().
    bool Unzip(const std::string& archivePath, const std::vector<std::string>& patterns,
               uint64_t byteLimit = 0, Sink* sink = nullptr);

    // What the library said through UnzipCallback during the last Execute of this wrapper: the
    // errors were shown to the player as they came, and the caller decides whether to go on.
    struct Report {
        int errors = 0;
        bool tooLarge = false;            // the extraction passed its byte limit
        std::vector<std::string> written; // the files it wrote, in order
    };
    const Report& LastReport() const { return m_report; }

    // The places the library is looked for, in order.
    static std::vector<std::string> LibraryCandidates();

    // Test seam: called with the member's name after each member the library has written, so a
    // test can stop the process in the middle of an extraction. Null (the default) does nothing.
    // Each call runs a copy of the observer: keep what it counts outside it.
    // Returns the observer in force before, for the caller to put back.
    using MemberObserver = std::function<void(const std::string&)>;
    static MemberObserver SetMemberObserver(MemberObserver observer);

  private:
    void* m_library = nullptr;
    GetUnzDllVersionFn m_getVersion = nullptr;
    UnzDllExecFn m_exec = nullptr;
    Report m_report;
};

// The library's callback: shows "Zip error %d:\n%s" for every message with a non-zero error
// number, in an OK box titled with the application's name. Returns 0 always.
extern "C" int UnzipCallback(UnzipMessage* message);
