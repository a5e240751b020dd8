#include "app/RegCommand.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>

#include "platform/Ascii.h"
#include "platform/RegFile.h"
#include "platform/SystemCalls.h"

namespace regtool {

namespace {

constexpr const char* kUsage =
    "korvane-reg: Korvane's settings, in the syntax of the Windows reg command.\n"
    "The settings live in $KORVANE_REGISTRY, or else in $XDG_CONFIG_HOME/korvane/registry.reg\n"
    "(~/.config/korvane/registry.reg).\n\n"
    "  korvane-reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
    "  korvane-reg query KEY [/v NAME | /ve] [/s]\n"
    "  korvane-reg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "  korvane-reg import FILE.reg\n"
    "  korvane-reg export KEY FILE.reg [/y]\n\n"
    "KEY begins with HKCU or HKEY_CURRENT_USER, e.g. \"HKCU\\Software\\KRV\".\n"
    "TYPE is REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY\n"
    "or REG_NONE. Example:\n"
    "  korvane-reg add \"HKCU\\Software\\KRV\" /v DestDir /t REG_SZ /d /home/me/korvane /f\n";

bool IsHelpSwitch(const std::string& arg) {
    return arg == "/?" || arg == "-?" || arg == "--help" || arg == "-h";
}

bool IsSwitch(const std::string& arg) {
    return arg.size() > 1 && (arg[0] == '/' || arg[0] == '-');
}

int Fail(RegConsole& console, const std::string& message) {
    console.err << "ERROR: " << message << "\n";
    return 1;
}

// Asks before something is replaced or removed; without /f and without a terminal to ask on,
// the answer is an error, so that a script never blocks on a question.
enum class Consent { Given, Declined, Unavailable };

Consent Ask(RegConsole& console, bool forced, const std::string& question) {
    if (forced)
        return Consent::Given;
    if (!console.confirm)
        return Consent::Unavailable;
    return console.confirm(question) ? Consent::Given : Consent::Declined;
}

int NotConfirmed(RegConsole& console, Consent consent) {
    if (consent == Consent::Declined) {
        console.out << "The operation was cancelled.\n";
        return 0;
    }
    return Fail(console, "Nothing changed: add /f to do this without being asked.");
}

std::optional<uint32_t> TypeFromName(const std::string& name) {
    for (uint32_t type = 0; type <= platform::kRegQword; ++type) {
        if (platform::SameRegistryName(TypeName(type), name))
            return type;
    }
    return std::nullopt;
}

// The bytes of /d for the type, or an explanation.
bool EncodeData(uint32_t type, const std::string& text, const std::string& separator,
                std::string& bytes, std::string& error) {
    switch (type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
        bytes = text + '\0';
        return true;
    case platform::kRegMultiSz: {
        size_t start = 0;
        while (!text.empty() && start <= text.size()) {
            const size_t end = separator.empty() ? std::string::npos : text.find(separator, start);
            bytes += text.substr(start, end - start) + '\0';
            if (end == std::string::npos)
                break;
            start = end + separator.size();
        }
        bytes += '\0';
        return true;
    }
    case platform::kRegDword:
    case platform::kRegQword: {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const char* first = text.data() + (hex ? 2 : 0);
        const char* last = text.data() + text.size();
        uint64_t number = 0;
        const auto [end, code] = std::from_chars(first, last, number, hex ? 16 : 10);
        const uint64_t limit = type == platform::kRegDword ? 0xFFFFFFFFull : ~0ull;
        if (text.empty() || code != std::errc() || end != last || number > limit) {
            error = "Specify a valid number for /d, decimal or 0x followed by hex digits"
                    " (a REG_DWORD holds 0 to 4294967295).";
            return false;
        }
        const int size = type == platform::kRegDword ? 4 : 8;
        for (int i = 0; i < size; ++i)
            bytes += static_cast<char>((number >> (8 * i)) & 0xFF);
        return true;
    }
    default:
        if (text.size() % 2 != 0 ||
            text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            error = "Specify /d as hex digits in pairs, e.g. 0aff.";
            return false;
        }
        for (size_t i = 0; i < text.size(); i += 2)
            bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
        return true;
    }
}

std::string KeyPathOrEmpty(const Options& options, size_t words) {
    return options.words.size() == words ? platform::CanonicalKeyPath(options.words[0])
                                         : std::string();
}

// Names what is wrong with the words of a command that expects `words` of them.
std::string WordsProblem(const Options& options, size_t words, const std::string& usage) {
    if (options.words.size() > words)
        return "Invalid syntax: unexpected \"" + options.words[words] + "\". Usage: " + usage;
    if (options.words.size() < words)
        return "Invalid syntax. Usage: " + usage;
    return "Invalid key name \"" + options.words[0] +
           "\": it must begin with HKCU or HKEY_CURRENT_USER "
           "(or another root) and name a key below it, e.g. \"HKCU\\Software\\KRV\".";
}

int Add(const Options& options, const platform::RegistryStore& store, RegConsole& console) {
    const std::string path = KeyPathOrEmpty(options, 1);
    if (path.empty() || path.find('\\') == std::string::npos)
        return Fail(
            console,
            WordsProblem(options, 1, "korvane-reg add KEY [/v NAME] [/t TYPE] [/d DATA] [/f]"));
    const std::string* name = options.Value("v");
    const std::string* typeName = options.Value("t");
    const std::string* dataText = options.Value("d");
    const bool setsValue = name || options.Has("ve") || typeName || dataText;

    platform::RegistryValue value;
    value.name = name ? *name : "";
    if (setsValue) {
        const std::optional<uint32_t> type = typeName ? TypeFromName(*typeName) : platform::kRegSz;
        if (!type)
            return Fail(console, "Unknown type \"" + *typeName +
                                     "\". Use REG_SZ, REG_DWORD or another REG_ type.");
        value.type = *type;
        const bool number = *type == platform::kRegDword || *type == platform::kRegQword;
        if (number && !dataText)
            return Fail(console, "A number value needs its data: add /d NUMBER.");
        const std::string* separator = options.Value("s");
        std::string error;
        if (!EncodeData(*type, dataText ? *dataText : "", separator ? *separator : "\\0",
                        value.bytes, error))
            return Fail(console, error);
    }

    // One read under the lock; only a question on a terminal lets it go while the user answers.
    platform::RegistryWrite write(store);
    if (const std::optional<std::string> error = write.Begin())
        return Fail(console, *error);
    if (setsValue && write.Data().FindValue(path, value.name) != nullptr && !options.Has("f")) {
        write.End();
        const Consent consent =
            Ask(console, false,
                "Value " + (value.name.empty() ? std::string("(Default)") : value.name) +
                    " exists, overwrite(Yes/No)?");
        if (consent != Consent::Given)
            return NotConfirmed(console, consent);
        if (const std::optional<std::string> error = write.Begin())
            return Fail(console, *error);
    }
    if (setsValue)
        write.Data().SetValue(path, value);
    else
        write.Data().CreateKey(path);
    if (const std::optional<std::string> error = write.Commit())
        return Fail(console, *error);
    console.out << kSuccess << "\n";
    return 0;
}

int Delete(const Options& options, const platform::RegistryStore& store, RegConsole& console) {
    const std::string path = KeyPathOrEmpty(options, 1);
    if (path.empty())
        return Fail(console,
                    WordsProblem(options, 1, "korvane-reg delete KEY [/v NAME | /ve | /va] [/f]"));
    const std::string* name = options.Value("v");
    const bool oneValue = name || options.Has("ve");
    const bool allValues = options.Has("va");
    if (!oneValue && !allValues && path.find('\\') == std::string::npos)
        return Fail(console, "A root key cannot be deleted.");

    platform::RegistryWrite write(store);
    if (const std::optional<std::string> error = write.Begin())
        return Fail(console, *error);
    auto found = [&] {
        return oneValue ? write.Data().FindValue(path, name ? *name : "") != nullptr
                        : write.Data().KeyExists(path);
    };
    if (!found()) {
        console.err << kNotFound << "\n";
        return 1;
    }
    if (!options.Has("f")) {
        write.End();
        const std::string question =
            oneValue ? "Delete the registry value " + (name ? *name : std::string("(Default)")) +
                           " (Yes/No)?"
            : allValues ? "Delete all values under the registry key " + path + " (Yes/No)?"
                        : "Permanently delete the registry key " + path + " (Yes/No)?";
        const Consent consent = Ask(console, false, question);
        if (consent != Consent::Given)
            return NotConfirmed(console, consent);
        if (const std::optional<std::string> error = write.Begin())
            return Fail(console, *error);
    }
    bool changed = false;
    if (oneValue)
        changed = write.Data().DeleteValue(path, name ? *name : "");
    else if (!allValues)
        changed = write.Data().DeleteKey(path);
    else
        changed = write.Data().ClearValues(path);
    if (changed) {
        if (const std::optional<std::string> error = write.Commit())
            return Fail(console, *error);
    }
    console.out << kSuccess << "\n";
    return 0;
}

// False with errno set when the file cannot be read whole (a folder opens but does not read).
bool ReadFile(const std::string& path, std::string& text) {
    const platform::sys::FileDescriptor file = platform::sys::Open(path, O_RDONLY);
    return file.IsOpen() && platform::sys::ReadAll(file.Get(), text);
}

int Import(const Options& options, const platform::RegistryStore& store, RegConsole& console) {
    if (options.words.size() != 1)
        return Fail(console, "Invalid syntax. Name one file: korvane-reg import FILE.reg");
    const std::string& file = options.words[0];
    std::string text;
    if (!ReadFile(file, text))
        return Fail(console, "Could not read " + file + ": " + std::strerror(errno));
    // Even an export of an empty key holds the header line: an empty file is no registry script.
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
        return Fail(console, file + " is empty: a registry file begins with \"REGEDIT4\" or "
                                    "\"Windows Registry Editor Version 5.00\"");
    // The file is checked whole before anything changes, so a bad line leaves the store as it was.
    std::optional<platform::RegFileError> parseError;
    const std::optional<std::string> error = store.Update([&](platform::RegistryData& data) {
        platform::RegistryData merged = data;
        parseError = platform::ApplyRegFile(text, merged, platform::RegFileUse::Import);
        if (parseError)
            return false;
        data = std::move(merged);
        return true;
    });
    if (parseError)
        return Fail(console, file + " line " + std::to_string(parseError->line) + ": " +
                                 parseError->message);
    if (error)
        return Fail(console, *error);
    console.out << kSuccess << "\n";
    return 0;
}

int Export(const Options& options, const platform::RegistryStore& store, RegConsole& console) {
    const std::string path = KeyPathOrEmpty(options, 2);
    if (path.empty())
        return Fail(console, WordsProblem(options, 2, "korvane-reg export KEY FILE.reg [/y]"));
    const platform::RegistryLoad current = store.Load();
    if (!current.data)
        return Fail(console, current.error);
    if (path.find('\\') != std::string::npos && !current.data->KeyExists(path)) {
        console.err << kNotFound << "\n";
        return 1;
    }
    const std::vector<const platform::RegistryKey*> keys = current.data->KeysAtOrBelow(path);
    const std::string& file = options.words[1];
    if (std::ifstream(file).good()) {
        const Consent consent =
            Ask(console, options.Has("y"), "File " + file + " already exists. Overwrite (Yes/No)?");
        if (consent != Consent::Given)
            return NotConfirmed(console, consent);
    }
    // The file is for regedit on Windows or Wine, which reads this form with every character
    // intact; the store's own REGEDIT4 form would lose everything beyond ASCII there.
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << platform::FormatRegFile(keys, platform::RegFileForm::Windows);
    out.close();
    if (!out)
        return Fail(console, "Could not write " + file + ": " + std::strerror(errno));
    console.out << kSuccess << "\n";
    return 0;
}

} // namespace

bool Options::Has(const std::string& name) const {
    return std::any_of(switches.begin(), switches.end(),
                       [&](const auto& s) { return s.first == name; });
}

const std::string* Options::Value(const std::string& name) const {
    for (const auto& s : switches) {
        if (s.first == name)
            return &s.second;
    }
    return nullptr;
}

bool ParseOptions(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                  const std::vector<std::string>& flags, Options& options, std::string& error) {
    auto listed = [](const std::vector<std::string>& names, const std::string& name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (size_t i = 0; i < args.size(); ++i) {
        // Only where a switch may stand is "-h" a request for help; as the value of /d or /v it
        // is data like any other.
        if (IsHelpSwitch(args[i])) {
            options.help = true;
            continue;
        }
        const std::string name =
            IsSwitch(args[i]) ? platform::LowerAscii(args[i].substr(1)) : std::string();
        // Anything else, "/home/me/file.reg" included, is a plain word.
        if (!listed(withValue, name) && !listed(flags, name)) {
            options.words.push_back(args[i]);
            continue;
        }
        std::string value;
        if (listed(withValue, name)) {
            // The value is taken as it stands, even when it begins with a slash like a path.
            if (i + 1 == args.size()) {
                error = "Invalid syntax: " + args[i] + " needs a value.";
                return false;
            }
            value = args[++i];
        }
        options.switches.emplace_back(name, value);
    }
    return true;
}

} // namespace regtool

int RunRegCommand(const std::vector<std::string>& args, RegConsole& console) {
    using namespace regtool;
    const std::string operation = args.empty() ? std::string() : platform::LowerAscii(args[0]);
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (args.empty() || IsHelpSwitch(args[0])) {
        if (args.empty()) {
            console.err << "ERROR: Name an operation.\n" << kUsage;
            return 1;
        }
        console.out << kUsage;
        return 0;
    }

    std::vector<std::string> withValue;
    std::vector<std::string> flags;
    int (*run)(const Options&, const platform::RegistryStore&, RegConsole&) = nullptr;
    if (operation == "add") {
        withValue = {"v", "t", "d", "s"};
        flags = {"ve", "f"};
        run = Add;
    } else if (operation == "query") {
        withValue = {"v"};
        flags = {"ve", "s"};
        run = Query;
    } else if (operation == "delete") {
        withValue = {"v"};
        flags = {"ve", "va", "f"};
        run = Delete;
    } else if (operation == "import") {
        run = Import;
    } else if (operation == "export") {
        flags = {"y"};
        run = Export;
    } else {
        console.err << "ERROR: Unknown operation \"" + args[0] + "\".\n" << kUsage;
        return 1;
    }
    Options options;
    std::string error;
    if (!ParseOptions(rest, withValue, flags, options, error))
        return Fail(console, error);
    if (options.help) {
        console.out << kUsage;
        return 0;
    }
    return run(options, platform::RegistryStore(platform::DefaultRegistryPath()), console);
}
