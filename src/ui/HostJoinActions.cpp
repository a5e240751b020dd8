// The Host and Join buttons of the main dialog, also run by the command-line switches. In an
// automated run every way out of them ends the process with status 0.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/RunLog.h"
#include "session/HostingSession.h"
#include "ui/FieldText.h"
#include "ui/GameLaunch.h"
#include "ui/KorvaneDlg.h"
#include "ui/NumberText.h"
#include "ui/ProgramArguments.h"

namespace {

// The longest texts the original fields handed over.
constexpr size_t kAlternateLength = 1023;
constexpr size_t kAddressLength = 253;

} // namespace

using ui::FieldText;

void CKorvaneDlg::EndAction() {
    if (ui::IsAutomated())
        ui::EndProcess(0);
}

void CKorvaneDlg::OnHost() {
    // Another Korvane on this game folder has its modpack installed: a game of ours would run
    // with it, or take it away from under that player's game.
    if (!m_korvane.CheckGameFolderFree())
        return EndAction();
    const int entry = SelectedEntry();
    const bool withModpack = entry > 0 && static_cast<size_t>(entry) <= m_levels.size();
    if (withModpack) {
        const CLevelInfo info = m_levels[static_cast<size_t>(entry) - 1];
        if (!m_korvane.InstallLevel(info))
            return EndAction();
        const std::string alternate = FieldText(m_alternate, kAlternateLength);
        if (!ServeLevel(m_share->isChecked(), alternate, info)) {
            m_korvane.RestoreGiants();
            return EndAction();
        }
    }
    Log("Hosting game");
    ui::LaunchRequest request;
    request.mode = ui::LaunchMode::Host;
    request.joinButtonEnabled = m_joinButton->isEnabledTo(this);
    if (!ui::LaunchGiants(request, m_korvane)) {
        // The game never ran, so nothing should stay published or installed: a server left
        // running would still answer joining players and stand in the way of the next Host.
        if (withModpack) {
            StopServing();
            m_korvane.RestoreGiants();
        }
        return EndAction();
    }
    Log("Giants spawn complete");
    if (withModpack) {
        StopServing();
        m_korvane.RestoreGiants();
    }
    EndAction();
}

void CKorvaneDlg::OnJoin() {
    if (!m_korvane.CheckGameFolderFree())
        return EndAction();
    const std::string address = FieldText(m_joinAddress, kAddressLength);
    if (!ui::ValidateIPAddress(address))
        return EndAction();
    Log("Connecting to " + address);
    m_korvane.m_bAutoJoined = false;
    CLevelInfo info;
    if (!m_korvane.DownloadLevel(*this, address, info))
        return EndAction();

    const int entry = SelectedEntry();
    if (entry > 0) {
        // The name the host announced, not the selected record's: after an automatic join whose
        // host never answered it is empty, the information cannot be read and the join ends
        // there, rather than starting the game with a modpack the host may not play.
        if (!m_korvane.GetKRVInfoFromGCK(info.fileName, info))
            return EndAction();
        const size_t index = static_cast<size_t>(entry) - 1;
        if (index < m_levels.size())
            m_levels[index] = info;
        else
            m_levels.push_back(info);
        if (!m_korvane.InstallLevel(info))
            return EndAction();
    }

    ui::LaunchRequest request;
    request.mode = ui::LaunchMode::Join;
    request.address = address;
    request.joinButtonEnabled = m_joinButton->isEnabledTo(this);
    if (!ui::LaunchGiants(request, m_korvane))
        return EndAction();
    m_korvane.RestoreGiants();
    if (ui::IsAutomated())
        ui::EndProcess(0);
    OnSelchangeLevelList();
}
