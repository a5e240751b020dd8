#include "app/RegCommand.h"

#include <cstdio>

namespace regtool {

namespace {

uint64_t LittleEndian(const std::string& bytes) {
    uint64_t number = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(bytes[i]);
    return number;
}

std::string ValueLine(const platform::RegistryValue& value) {
    return "    " + (value.name.empty() ? std::string("(Default)") : value.name) + "    " +
           TypeName(value.type) + "    " + DisplayData(value) + "\n";
}

// One key as reg prints it: its path, its values, and (without /s) its sub-keys' paths.
void PrintKey(const platform::RegistryData& data, const std::string& path, bool recursive,
              std::ostream& out) {
    out << "\n" << path << "\n";
    if (const platform::RegistryKey* key = data.FindKey(path)) {
        for (const platform::RegistryValue& value : key->values)
            out << ValueLine(value);
    }
    const std::vector<std::string> subKeys = data.SubKeyNames(path);
    if (recursive) {
        for (const std::string& name : subKeys)
            PrintKey(data, path + "\\" + name, true, out);
        return;
    }
    if (!subKeys.empty())
        out << "\n";
    for (const std::string& name : subKeys)
        out << path << "\\" << name << "\n";
}

} // namespace

std::string TypeName(uint32_t type) {
    static const char* const kNames[] = {"REG_NONE",
                                         "REG_SZ",
                                         "REG_EXPAND_SZ",
                                         "REG_BINARY",
                                         "REG_DWORD",
                                         "REG_DWORD_BIG_ENDIAN",
                                         "REG_LINK",
                                         "REG_MULTI_SZ",
                                         "REG_RESOURCE_LIST",
                                         "REG_FULL_RESOURCE_DESCRIPTOR",
                                         "REG_RESOURCE_REQUIREMENTS_LIST",
                                         "REG_QWORD"};
    if (type < std::size(kNames))
        return kNames[type];
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(type));
    return buffer;
}

std::string DisplayData(const platform::RegistryValue& value) {
    const std::string& bytes = value.bytes;
    char buffer[24];
    switch (value.type) {
    case platform::kRegSz:
    case platform::kRegExpandSz:
        return bytes.substr(0, bytes.find('\0'));
    case platform::kRegMultiSz: {
        std::string text = bytes;
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        std::string shown;
        for (char c : text)
            shown += c == '\0' ? std::string("\\0") : std::string(1, c);
        return shown;
    }
    case platform::kRegDword:
    case platform::kRegQword:
        if (bytes.size() == (value.type == platform::kRegDword ? 4u : 8u)) {
            std::snprintf(buffer, sizeof buffer, "0x%llx",
                          static_cast<unsigned long long>(LittleEndian(bytes)));
            return buffer;
        }
        break;
    default:
        break;
    }
    std::string hex;
    for (char c : bytes) {
        std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned char>(c));
        hex += buffer;
    }
    return hex;
}

int Query(const Options& options, const platform::RegistryStore& store, RegConsole& console) {
    if (options.words.size() != 1) {
        console.err
            << "ERROR: Invalid syntax. Name one key: korvane-reg query KEY [/v NAME | /ve] [/s]\n";
        return 1;
    }
    const std::string path = platform::CanonicalKeyPath(options.words[0]);
    if (path.empty()) {
        console.err << "ERROR: Invalid key name \"" << options.words[0] << "\".\n";
        return 1;
    }
    const platform::RegistryLoad load = store.Load();
    if (!load.data) {
        console.err << "ERROR: " << load.error << "\n";
        return 1;
    }
    const platform::RegistryData& data = *load.data;
    if (path.find('\\') != std::string::npos && !data.KeyExists(path)) {
        console.err << kNotFound << "\n";
        return 1;
    }
    // The key is shown as it was first written, also when only keys below it are stored.
    std::string shownPath = path;
    if (const std::vector<const platform::RegistryKey*> keys = data.KeysAtOrBelow(path);
        !keys.empty())
        shownPath = keys.front()->path.substr(0, path.size());

    const std::string* name = options.Value("v");
    if (name != nullptr || options.Has("ve")) {
        const platform::RegistryValue* value = data.FindValue(path, name != nullptr ? *name : "");
        if (value == nullptr) {
            console.err << kNotFound << "\n";
            return 1;
        }
        console.out << "\n" << shownPath << "\n" << ValueLine(*value) << "\n";
        return 0;
    }
    PrintKey(data, shownPath, options.Has("s"), console.out);
    console.out << "\n";
    return 0;
}

} // namespace regtool
