// The engine object and the catalogue: reading a modpack's .krv information out of its archive.
#include "modpack/Korvane.h"

#include <optional>
#include <set>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/InfoZip.h"
#include "platform/Ascii.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"
#include "platform/WindowsText.h"

namespace {

// Every two-character sequence backslash-n becomes a line break.
std::string ExpandLineBreaks(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string CommentOf(const std::string& infoText) {
    const std::string key = "modinfo_usermessage=";
    const size_t found = platform::ToLower(infoText).find(key);
    if (found == std::string::npos)
        return "Modpack contains no comment";
    std::string value = infoText.substr(found + key.size());
    value = value.substr(0, value.find('\n'));
    std::erase(value, '\r');
    return ExpandLineBreaks(value);
}

} // namespace

CKorvane::CKorvane() {
    Log("CKorvane::CKorvane()");
}

CKorvane::~CKorvane() {
    Log("CKorvane::~CKorvane()");
}

bool CKorvane::GetKRVInfoFromGCK(std::string fileName, CLevelInfo& info) {
    Log("CKorvane::GetKRVInfoFromGCK(\"" + fileName + "\")");
    InfoZip zip;
    const std::string pattern = "*.krv";
    CLevelInfo found;
    platform::FileSystem& files = platform::Files();
    const std::string temp = g_strKorvaneDir + "\\KRVTemp";

    // Steps that end the operation report their text through here.
    auto raise = [](const std::string& text) {
        Log("Exception thrown : " + text);
        platform::ShowMessage(text, platform::kWarningCaption);
        return false;
    };

    files.CreateDirectory(temp);
    // Extracting into whatever folder happens to be current could scatter .krv files anywhere.
    if (!files.SetCurrentDirectory(temp)) {
        platform::ShowMessage("Couldn't change directory to " + temp, platform::kErrorCaption);
        return false;
    }
    // A file that will not go is told once per run, not once per archive: only what this
    // extraction writes is read below, so a stale .krv is never taken for the archive's.
    ReportLeftovers(temp, DeleteFilesIn(temp));

    if (!zip.InitializeUnzip())
        return raise("Must be initialized (zip/unzip.dll problem)");
    Log("InfoZip.InitializeUnzip()");
    zip.Unzip(platform::ResolvePath(g_strKorvaneDir + "\\Modpacks\\" + fileName), {pattern},
              kInfoByteLimit);
    Log("InfoZip.Execute()");
    zip.FinalizeUnzip();
    Log("InfoZip.FinalizeUnzip()");
    const InfoZip::Report& report = zip.LastReport();
    if (report.tooLarge) {
        // The library's message named the archive and the limit; a second one would only say
        // again that the modpack is left out.
        Log("Information larger than " + std::to_string(kInfoByteLimit) + " bytes");
        DeleteFilesIn(temp);
        return false;
    }

    const std::set<std::string> written(report.written.begin(), report.written.end());
    std::optional<std::string> infoName;
    if (const auto entries = files.ListDirectory(temp)) {
        for (const platform::DirEntry& entry : *entries) {
            if (!entry.isDirectory && written.contains(entry.name) &&
                platform::MatchesPattern(entry.name, pattern)) {
                infoName = entry.name;
                break;
            }
        }
    }
    if (!infoName)
        return raise("No KRV info is stored in GCK file " + fileName);
    Log("KRV File found - " + *infoName);

    const std::string infoPath = temp + "\\" + *infoName;
    const std::optional<std::string> content = files.ReadFile(infoPath);
    if (!content)
        return raise("Could not open " + infoPath);
    Log("cfKRVLevelInfo.Open()");
    if (!content->empty()) {
        // Written with Notepad on Windows (Windows-1252) or on Linux (UTF-8): held as UTF-8, so
        // that the list shows its comment and the announcement can speak a peer's code page.
        found.infoText = platform::FromWindowsText(*content);
        Log("cfKRVLevelInfo.Read()");
        if (platform::ToLower(found.infoText).find("modinfo_shareable") != std::string::npos)
            found.shareable = 1;
    }
    Log(found.shareable ? "Shareable" : "Not shareable");
    found.comment = CommentOf(found.infoText);
    Log("Comment :\n" + found.comment);
    DeleteFilesIn(temp);

    info.fileName = fileName;
    info.infoFileName = *infoName;
    info.comment = found.comment;
    info.infoText = found.infoText;
    info.shareable = found.shareable;
    return true;
}

void CKorvane::ReportLeftovers(const std::string& folder, const std::vector<Leftover>& left) {
    for (const Leftover& leftover : left) {
        if (m_reportedLeftovers.insert(folder + "\\" + leftover.name).second)
            platform::ShowMessage(LeftoverMessage(folder, leftover), platform::kErrorCaption);
    }
}
