#pragma once
// The control ids of the original dialog templates, one list for the dialogs and their tests.
//
// Each control carries its id as its object name (SetControlId), and that name is how tests,
// the end-to-end scripts and assistive tools find it, so the numbers never change. Ids count per
// dialog, as in the original templates: two dialogs may give one number to different controls
// (1015 is About... in the main dialog and the parameters field in Options), and a control of
// the same kind in two dialogs keeps one name (AutoJoin).
#include <QObject>
#include <QString>

namespace ui {

enum class ControlId : int {
    // Every dialog.
    Unnamed = -1, // labels and pictures that nothing refers to
    Ok = 1,       // also Join in the modpack information dialog
    Cancel = 2,   // also Exit in the main dialog

    // The main dialog.
    ModpackList = 1000,
    JoinButton = 1001,
    HostButton = 1002,
    ModpackNameLabel = 1006,
    JoinAddressLabel = 1008,
    AlternateLabel = 1009,
    AlternateLocation = 1010,
    OptionsButton = 1011,
    ShareModpack = 1012,
    AboutButton = 1015,
    Comments = 1020,
    ShareLabel = 1021,
    JoinAddress = 1030,
    HelpButton = 57670, // the framework's own help command

    // The Options dialog.
    Parameters = 1015,
    AutoJoin = 1035, // the host-check dialog's box too
    SecondsToJoin = 1036,

    // The host-check dialog.
    CheckHost = 3, // "Join KRV..."
    JoinNormal = 1037,

    // The modpack information dialog.
    UserMessage = 1028,
    StatusText = 1029,

    // The About dialog.
    VersionText = 1018,

    // The download progress dialog.
    Progress = 1017,
};

// The object name a control with this id carries.
inline QString ControlName(ControlId id) {
    return QString::number(static_cast<int>(id));
}

inline void SetControlId(QObject* control, ControlId id) {
    control->setObjectName(ControlName(id));
}

} // namespace ui
