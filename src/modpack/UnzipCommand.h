#pragma once
// The records exchanged with the unzip library (libunzdll.so, our stand-in for UNZDLL.DLL).
//
// The engine fills one UnzipCommand per extraction and hands its address to UnzDllExec; the
// library reports errors by calling back with an UnzipMessage. The field order is that of the
// original 32-bit record; address fields are pointer-sized, so on 64-bit Linux they widen and the
// words after them move. Plain C layout, shared by the library and the engine.
#include <cstdint>

struct UnzipMessage {
    uint32_t handle;
    uint32_t caller;
    uint32_t arg1;
    uint32_t arg2;
    uint32_t arg3;
    int32_t errorCode; // 0 for progress notes, which are not shown
    uint32_t arg4;
    char text[996]; // NUL-terminated
};

using UnzipCallbackFn = int (*)(UnzipMessage* message);

// Where the members go when the caller places them itself, instead of the library writing each
// into the current directory. Names are the members' base names, as the library would have used.
struct UnzipSink {
    void* context;
    // Called with every member the extraction will try, in archive order and before any is read,
    // then once with a null name; non-zero there ends the extraction before anything is written.
    int (*announce)(void* context, const char* name);
    // A descriptor, owned by the sink, for the member's bytes; -1 with errno 0 to have the member
    // only read and checked, -1 with errno set when it cannot be written (an error of the
    // extraction, which stops there).
    int (*open)(void* context, const char* name);
    // Ends the member opened last: `complete` is non-zero when every byte was written and
    // checked, 0 when the member failed and must go. Non-zero when it could not be put in place:
    // the sink has told the player why, and the extraction stops without a message of its own.
    int (*close)(void* context, const char* name, int complete);
};

inline constexpr int kUnzipMaxPatterns = 4096;

// Words named after their offset in the 32-bit record. The library reads only the callback, the
// pattern count, the archive path and the pattern table; the flag words travel unexamined.
struct UnzipCommand {
    uint32_t handle;          // 0
    uint32_t caller;          // 4
    uint32_t version;         // 8: GetUnzDllVersion()
    UnzipCallbackFn callback; // 12
    uint32_t flag16;
    uint32_t flag20;
    uint32_t flag24;
    uint32_t flag28;
    uint32_t flag32;
    uint32_t flag36;
    uint32_t flag40;
    uint32_t flag44;
    uint32_t flag48;
    uint32_t flag52;
    uint32_t flag56;
    uint32_t flag60;
    uint32_t patternCount;             // 64: 0 extracts every member
    char* archivePath;                 // 68: full path, NUL-terminated
    uint32_t seven;                    // 72
    char* patterns[kUnzipMaxPatterns]; // 76: NUL-terminated name patterns
    // Beyond the original record, so that its words keep their values: the most bytes this
    // extraction may write in all (0: no limit). A member that would pass it is not kept, and
    // the extraction ends there with kUnzipErrorTooLarge.
    uint64_t byteLimit;
    // Beyond the original record too: null writes into the current directory.
    UnzipSink* sink;
};

extern "C" {
// The two entry points the engine looks up by name.
using GetUnzDllVersionFn = uint32_t (*)();
using UnzDllExecFn = int32_t (*)(UnzipCommand* command);
}

// Error numbers the library reports through the callback.
enum UnzipError : int32_t {
    kUnzipErrorArchive = 1,   // the archive cannot be opened or read (damaged, truncated)
    kUnzipErrorEncrypted = 2, // a member needs a password
    kUnzipErrorMethod = 3,    // a member uses a compression method we cannot decode
    kUnzipErrorData = 4,      // a member's data is damaged (CRC, inflate error)
    kUnzipErrorWrite = 5,     // the member could not be written (disk full, permissions)
    kUnzipErrorDirectory = 6, // the current directory cannot be listed
    kUnzipErrorCommand = 7,   // the command record is incomplete
    kUnzipErrorTooLarge = 8,  // the members would pass the command's byte limit
};
