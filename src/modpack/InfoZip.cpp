#include "modpack/InfoZip.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/MessageBoxes.h"
#include "platform/Seam.h"
#include "platform/SystemCalls.h"

namespace {

constexpr const char* kLibraryName = "libunzdll.so";
// The record promises the library at least this much room for the archive's path.
constexpr size_t kArchivePathBuffer = 260;

// The report of the wrapper whose Execute is running on this thread; the library calls back on
// the caller's thread, inside UnzDllExec.
thread_local InfoZip::Report* t_report = nullptr;

platform::Seam<InfoZip::MemberObserver> g_memberObserver{InfoZip::MemberObserver{}};

// The library's sink calls, passed on to the InfoZip::Sink in their context.
int AnnounceToSink(void* context, const char* name) {
    auto* sink = static_cast<InfoZip::Sink*>(context);
    return (name ? sink->Announce(name) : sink->Announced()) ? 0 : 1;
}

int OpenInSink(void* context, const char* name) {
    return static_cast<InfoZip::Sink*>(context)->Open(name);
}

int CloseInSink(void* context, const char* name, int complete) {
    return static_cast<InfoZip::Sink*>(context)->Close(name, complete != 0) ? 0 : 1;
}

} // namespace

InfoZip::~InfoZip() {
    FinalizeUnzip();
}

std::vector<std::string> InfoZip::LibraryCandidates() {
    if (const char* named = std::getenv("KORVANE_UNZDLL"); named && *named)
        return {named};
    std::vector<std::string> candidates;
    std::string folder;
    if (!platform::sys::ExecutableDirectory(folder))
        return candidates;
    // The installed layout is looked up relative to the program, not at the prefix it was built
    // for, so that a package unpacked or installed anywhere uses its own library and never
    // another copy that happens to sit at the usual place.
    candidates.push_back(folder + "/" + KORVANE_UNZDLL_FROM_BINDIR);
    candidates.push_back(folder + "/" + kLibraryName);
#ifdef KORVANE_BUILD_TREE
    // A program still in its build tree uses the library built beside it; an installed copy of
    // the same binary never looks into the tree it was built in.
    const std::string tree = KORVANE_BUILD_TREE;
    if (folder == tree || folder.starts_with(tree + "/"))
        candidates.push_back(KORVANE_UNZDLL_BUILD_PATH);
#endif
    return candidates;
}

InfoZip::MemberObserver InfoZip::SetMemberObserver(MemberObserver observer) {
    return g_memberObserver.Exchange(std::move(observer));
}

bool InfoZip::InitializeUnzip() {
    if (m_library && m_getVersion && m_exec)
        return true;
    FinalizeUnzip();
    for (const std::string& candidate : LibraryCandidates()) {
        struct stat status {};
        if (!platform::sys::Status(candidate, status))
            continue;
        // Kept mapped after dlclose: the catalogue opens the library once per archive, and
        // mapping it afresh each time would cost more than reading the archive.
        m_library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (m_library)
            break;
    }
    if (!m_library)
        return false;
    m_getVersion = reinterpret_cast<GetUnzDllVersionFn>(dlsym(m_library, "GetUnzDllVersion"));
    if (!m_getVersion)
        return false;
    m_exec = reinterpret_cast<UnzDllExecFn>(dlsym(m_library, "UnzDllExec"));
    return m_exec != nullptr;
}

void InfoZip::PrepareCommand(UnzipCommand& command) {
    command.handle = 0;
    command.caller = 0;
    command.version = m_getVersion ? m_getVersion() : 0;
    command.callback = &UnzipCallback;
    command.flag16 = command.flag20 = command.flag24 = command.flag28 = 0;
    command.flag32 = command.flag36 = command.flag40 = 0;
    command.flag44 = command.flag48 = command.flag52 = 0;
    command.flag56 = 1;
    command.flag60 = 1;
    command.patternCount = 0;
    command.archivePath = nullptr;
    command.seven = 7;
    command.byteLimit = 0;
    command.sink = nullptr;
}

bool InfoZip::Execute(UnzipCommand& command) {
    if (!m_library || !m_exec)
        return false;
    m_report = {};
    t_report = &m_report;
    m_exec(&command);
    t_report = nullptr;
    return true;
}

bool InfoZip::Unzip(const std::string& archivePath, const std::vector<std::string>& patterns,
                    uint64_t byteLimit, Sink* sink) {
    auto command = std::make_unique<UnzipCommand>();
    PrepareCommand(*command);
    // Flag words 40 = 1 and 56 = 0 (PrepareCommand writes 0 and 1) are what the original call
    // sites wrote over the defaults, and 60 = 1 is PrepareCommand's own; they go to the library
    // as UNZDLL.DLL received them. Ours reads none of them: it always extracts (never only tests
    // or lists), always drops the members' folder parts and always overwrites without asking,
    // which is what those settings asked of UNZDLL.DLL at both call sites.
    command->flag40 = 1;
    command->flag56 = 0;
    std::string path = archivePath;
    path.reserve(kArchivePathBuffer);
    command->archivePath = path.data();
    std::vector<std::string> names(patterns.begin(), patterns.end());
    names.resize(std::min<size_t>(names.size(), kUnzipMaxPatterns - 1));
    for (size_t i = 0; i < names.size(); ++i)
        command->patterns[i] = names[i].data();
    command->patterns[names.size()] = nullptr;
    command->patternCount = static_cast<uint32_t>(names.size());
    command->byteLimit = byteLimit;
    UnzipSink calls{sink, &AnnounceToSink, &OpenInSink, &CloseInSink};
    command->sink = sink ? &calls : nullptr;
    return Execute(*command);
}

bool InfoZip::FinalizeUnzip() {
    if (m_library)
        dlclose(m_library);
    m_library = nullptr;
    m_getVersion = nullptr;
    m_exec = nullptr;
    return true;
}

extern "C" int UnzipCallback(UnzipMessage* message) {
    if (!message)
        return 0;
    if (message->errorCode == 0) {
        if (t_report)
            t_report->written.emplace_back(message->text);
        if (const InfoZip::MemberObserver observer = g_memberObserver.Get())
            observer(message->text);
        return 0;
    }
    if (t_report) {
        ++t_report->errors;
        t_report->tooLarge = t_report->tooLarge || message->errorCode == kUnzipErrorTooLarge;
    }
    char text[1024];
    const int length = static_cast<int>(strnlen(message->text, sizeof message->text));
    std::snprintf(text, sizeof text, "Zip error %d:\n%.*s", message->errorCode, length,
                  message->text);
    platform::ShowMessage(text, platform::kAppTitle);
    return 0;
}
