#pragma once
// Where a modpack's file lives in the game, decided in one place for installation and
// restoration alike: both must name the same folder, or a file installed into bin/Override would
// be looked for in another folder (bin/override, say) when the game is put back.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/GamePath.h"

// True for names that go to the game's bin folder (.abx, .bin, .gzp, by their last four
// characters in any case); every other file goes to bin\Override.
bool BelongsInBin(const std::string& fileName);

// game + "\bin\" or game + "\bin\Override\" for the file, as the game's layout reads.
std::string GameFolderFor(const std::string& fileName);

// GTextEnglish_orig.bin, in any case: restoration copies a file of that name over the game's
// GTextEnglish.bin, so a modpack never installs one (it would replace the game's text for good).
bool IsReservedName(const std::string& fileName);

// Folder names for ResolvePath that are always the exact name given: a file is deleted or put
// back under the very name it was recorded with, never under a name that differs in case only
// (a game may hold Sky.tga and sky.tga side by side). The one sub-folder named on construction
// (bin's Override, as found on disk) is still found in any case.
class ExactNames final : public platform::FolderNames {
  public:
    explicit ExactNames(std::string subfolder = {}) : m_subfolder(std::move(subfolder)) {}
    std::optional<std::string> Find(std::string_view name) const override {
        if (!m_subfolder.empty() && platform::EqualsIgnoringCase(name, m_subfolder))
            return m_subfolder;
        return std::nullopt;
    }

  private:
    std::string m_subfolder;
};

// What one installation knows about a folder of the game: where it is on disk and its entries,
// read once and kept current as files arrive, so that thousands of new files cost one listing.
// Lent to ResolvePath while the installation runs, so the file operations resolve each name
// against it too (see LentFolderNames).
class FolderIndex final : public platform::FolderNames {
  public:
    struct Entry {
        std::string name; // as on disk
        bool isDirectory = false;
    };
    // The folder as the game's layout reads it ("...\bin\Override\"), for messages.
    std::string windowsPath;
    // The folder as ResolvePath found it, without a trailing slash.
    std::string path;
    // False when the folder could not be read: each name is then looked for on disk, exactly.
    bool listed = false;
    // True for KRVBackup, where a backup is known by its exact name (one per case variant).
    bool exact = false;
    std::unordered_map<std::string, Entry> entries; // by KeyOf(name)

    std::string KeyOf(const std::string& name) const {
        return exact ? name : platform::ToLower(name);
    }
    void Add(const std::string& name) {
        if (listed)
            entries.try_emplace(KeyOf(name), Entry{name, false});
    }
    std::optional<std::string> Find(std::string_view name) const override {
        if (!listed || exact)
            return std::nullopt;
        const auto found = entries.find(platform::ToLower(name));
        return found == entries.end() ? std::nullopt : std::optional(found->second.name);
    }
};
