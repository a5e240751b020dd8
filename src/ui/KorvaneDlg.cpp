#include "ui/KorvaneDlg.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include "app/FirstSetup.h"
#include "app/RunLog.h"
#include "app/Settings.h"
#include "platform/Ascii.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/WindowsText.h"
#include "session/HostAnnouncement.h"
#include "session/ModpackDownload.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/ControlIds.h"
#include "ui/DialogUnits.h"
#include "ui/ModpackDrop.h"
#include "ui/OptionsDlg.h"
#include "ui/ProgramArguments.h"
#include "ui/QtMessageBoxes.h"
#include "ui/SetupDlg.h"

using ui::ControlId;
using ui::SetControlId;

namespace {

constexpr const char* kNoModpack = "Do not install Modpack";
constexpr const char* kNoModpackComment =
    "Will host a Giants:Citizen Kabuto game without installing a Modpack";

QPushButton* MakeButton(QWidget* parent, const char* text, ControlId id) {
    auto* button = new QPushButton(text, parent);
    SetControlId(button, id);
    // Enter is the dialog's own (it ends the dialog), except on the button that has the focus.
    button->setAutoDefault(false);
    button->setMinimumSize(ui::Dlu(parent, 50, 14));
    return button;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, ControlId id) {
    auto* label = new QLabel(text, parent);
    SetControlId(label, id);
    return label;
}

} // namespace

CKorvaneDlg::CKorvaneDlg(QWidget* parent) : QDialog(parent) {
    Log("CKorvaneDlg::CKorvaneDlg()");
    setWindowIcon(ui::ProgramIcon());
    setWindowTitle("Korvane (unofficial release)");
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    m_korvane.SetJoinDialogs(&m_joinDialogs);
    m_readInfo = [this](const std::string& fileName, CLevelInfo& info) {
        return m_korvane.GetKRVInfoFromGCK(fileName, info);
    };
    BuildControls();
    new ModpackDrop(this); // .gck files dropped on the window join the list
    QtMessageBoxes::SetMainWindow(this);
}

CKorvaneDlg::~CKorvaneDlg() {
    m_korvane.SetJoinDialogs(nullptr);
}

void CKorvaneDlg::BuildControls() {
    auto* nameLabel = MakeLabel(this, "Modpack name :", ControlId::ModpackNameLabel);
    m_list = new QListWidget(this);
    SetControlId(m_list, ControlId::ModpackList);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(false);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* commentsLabel = MakeLabel(this, "Modpack comments :", ControlId::Unnamed);
    m_comments = new QPlainTextEdit(this);
    SetControlId(m_comments, ControlId::Comments);
    m_comments->setReadOnly(true);
    m_comments->setTabChangesFocus(true);
    m_comments->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_shareLabel = MakeLabel(this, "Share Modpack :", ControlId::ShareLabel);
    m_share = new QCheckBox("Share GTI File", this);
    SetControlId(m_share, ControlId::ShareModpack);
    // Only the box shows: the text is there for assistive tools, not for the eye.
    m_share->setFixedWidth(style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4);
    auto* alternateLabel = MakeLabel(
        this, "Alternate location of Modpack download (http address) :", ControlId::AlternateLabel);
    m_alternate = new QLineEdit(this);
    SetControlId(m_alternate, ControlId::AlternateLocation);
    auto* host = MakeButton(this, "Host", ControlId::HostButton);
    auto* separator = MakeLabel(this, QString(83, '_'), ControlId::Unnamed);
    separator->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* joinLabel = MakeLabel(this, "Join IP Address :", ControlId::JoinAddressLabel);
    m_joinAddress = new QLineEdit(this);
    SetControlId(m_joinAddress, ControlId::JoinAddress);
    m_joinButton = MakeButton(this, "Join", ControlId::JoinButton);
    auto* help = MakeButton(this, "Help...", ControlId::HelpButton);
    help->setEnabled(false);
    auto* options = MakeButton(this, "Options...", ControlId::OptionsButton);
    auto* about = MakeButton(this, "About...", ControlId::AboutButton);
    auto* exitButton = MakeButton(this, "Exit", ControlId::Cancel);

    auto* grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0, 1, 3);
    grid->addWidget(m_list, 1, 0, 1, 3);
    grid->addWidget(commentsLabel, 2, 0, 1, 3);
    grid->addWidget(m_comments, 3, 0, 1, 3);
    auto* share = new QHBoxLayout;
    share->addWidget(m_shareLabel);
    share->addWidget(m_share);
    share->addSpacing(ui::DluX(this, 8));
    share->addWidget(alternateLabel, 1);
    grid->addLayout(share, 4, 0, 1, 3);
    grid->addWidget(m_alternate, 5, 0, 1, 2);
    grid->addWidget(host, 5, 2);
    grid->addWidget(separator, 6, 0, 1, 3);
    grid->addWidget(joinLabel, 7, 0);
    grid->addWidget(m_joinAddress, 7, 1);
    grid->addWidget(m_joinButton, 7, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(help);
    bottom->addWidget(options);
    bottom->addWidget(about);
    bottom->addStretch(1);
    bottom->addWidget(exitButton);
    grid->addLayout(bottom, 8, 0, 1, 3);
    grid->setRowStretch(1, 3);
    grid->setRowStretch(3, 2);
    grid->setColumnStretch(1, 1);
    setMinimumSize(ui::Dlu(this, 320, 268));

    QWidget* order[] = {m_list,       m_comments, m_share, m_alternate, host,      m_joinAddress,
                        m_joinButton, help,       options, about,       exitButton};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    m_shareLabel->installEventFilter(this);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { OnSelchangeLevelList(); });
    connect(m_share, &QCheckBox::clicked, this, &CKorvaneDlg::OnShareModpack);
    connect(host, &QPushButton::clicked, this, &CKorvaneDlg::OnHost);
    connect(m_joinButton, &QPushButton::clicked, this, &CKorvaneDlg::OnJoin);
    connect(options, &QPushButton::clicked, this, &CKorvaneDlg::OnOptions);
    connect(about, &QPushButton::clicked, this, &CKorvaneDlg::OnAbout);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void CKorvaneDlg::OnInitDialog() {
    Log("CKorvaneDlg::OnInitDialog()");
    // A player starting from the desktop menu gets the setup dialog instead of a dead end; a
    // lobby or a script (any argument) gets the messages, since nobody may be there to answer.
    if (!ui::IsAutomated()) {
        const app::FolderCheck check = app::CheckFolders();
        if (check.storeReadable && !check.Good())
            OnSetup();
    }
    if (!GetRegistryItems())
        ui::EndProcess(0);
    // A folder that is set but unusable would otherwise fail later step by step, each message
    // naming a symptom; one message names the value and the fix instead.
    if (const std::optional<std::string> problem = app::FolderProblemMessage(app::CheckFolders())) {
        platform::ShowMessage(*problem, platform::kErrorCaption);
        ui::EndProcess(0);
    }
    SweepInterruptedDownloads();
    LoadList();
    m_korvane.RestoreGiants();
    SelectEntry(0);
    ReadSwitches();
}

void CKorvaneDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setWindowTitle(QString("Korvane ") + kHostVersionText);
}

void CKorvaneDlg::keyPressEvent(QKeyEvent* event) {
    // The dialog has no default button: Enter in any field ends it, as Escape does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            return;
        }
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CKorvaneDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_shareLabel && event->type() == QEvent::MouseButtonRelease)
        OnShareLabel();
    return QDialog::eventFilter(watched, event);
}

void CKorvaneDlg::contextMenuEvent(QContextMenuEvent* event) {
    // Stands in for the entry that the window's system menu carries on Windows.
    QMenu menu(this);
    menu.addAction("&About Korvane...", this, &CKorvaneDlg::OnAbout);
    menu.addAction("&Setup...", this, [this] {
        if (OnSetup() && GetRegistryItems()) {
            LoadList();
            SelectEntry(0);
        }
    });
    menu.exec(event->globalPos());
}

void CKorvaneDlg::LoadList() {
    Log("CKorvaneDlg::LoadList()");
    m_levels.clear();
    const std::string folder = g_strKorvaneDir + "\\Modpacks";
    std::vector<std::string> found;
    if (platform::Files().SetCurrentDirectory(folder)) {
        if (auto entries = platform::Files().ListDirectory(folder)) {
            for (const platform::DirEntry& entry : *entries)
                if (!entry.isDirectory && platform::MatchesPattern(entry.name, "*.gck"))
                    found.push_back(entry.name);
        }
    }
    m_list->clear();
    m_list->addItem(kNoModpack);
    for (const std::string& name : found) {
        CLevelInfo info;
        info.fileName = name;
        if (m_readInfo(name, info))
            m_levels.push_back(info);
    }
    // An exchange sort on the lower-cased names, kept for the order it gives: names that differ
    // only in letter case (arena.gck beside Arena.gck, which a Linux folder can hold) come out as
    // every earlier Korvane put them for the same folder, and the first of the two is the one
    // that -krv_selectgck and a join find. The lists are a few dozen names; its cost does not
    // matter.
    const size_t n = m_levels.size();
    for (size_t i = 0; i + 1 < n; ++i)
        for (size_t j = i; j < n; ++j)
            if (platform::ToLower(m_levels[i].fileName) > platform::ToLower(m_levels[j].fileName))
                std::swap(m_levels[i], m_levels[j]);
    // A name that is not UTF-8 came from Windows (a copy off Windows media, a download by an older
    // version) and is shown as Windows shows it; the record keeps the name as it is on disk.
    for (const CLevelInfo& info : m_levels) {
        const std::string name = platform::FromWindowsText(info.fileName);
        m_list->addItem(QString::fromStdString(name.size() > 4 ? name.substr(0, name.size() - 4)
                                                               : std::string()));
    }
}

int CKorvaneDlg::SelectedEntry() const {
    return m_list->currentRow();
}

void CKorvaneDlg::OnSelchangeLevelList() {
    Log("CKorvaneDlg::OnSelchangeLevelList()");
    const int entry = SelectedEntry();
    // An entry that the join path appended has no record until the join reads its information.
    const bool hasRecord = entry > 0 && static_cast<size_t>(entry) <= m_levels.size();
    if (!hasRecord) {
        m_comments->setPlainText(entry <= 0 ? kNoModpackComment : "");
        m_share->setChecked(false);
        m_share->setEnabled(false);
    } else {
        const CLevelInfo& info = m_levels[static_cast<size_t>(entry) - 1];
        m_share->setEnabled(info.shareable != 0);
        m_share->setChecked(info.shareable != 0);
        m_comments->setPlainText(QString::fromStdString(info.comment));
    }
    OnShareModpack();
}

void CKorvaneDlg::OnShareModpack() {
    m_alternate->setEnabled(m_share->isChecked());
}

void CKorvaneDlg::OnShareLabel() {
    if (!m_share->isEnabled())
        return;
    m_share->setChecked(!m_share->isChecked());
    OnShareModpack();
}

void CKorvaneDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

bool CKorvaneDlg::OnSetup() {
    CSetupDlg setup(this);
    return setup.exec() == QDialog::Accepted;
}

void CKorvaneDlg::OnOptions() {
    COptionsDlg options(this);
    options.exec();
}

int CKorvaneDlg::FindEntry(const std::string& name) const {
    const QString wanted = QString::fromStdString(name);
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->text().compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void CKorvaneDlg::SelectEntry(int index) {
    {
        const QSignalBlocker quiet(m_list);
        m_list->setCurrentRow(index);
    }
    OnSelchangeLevelList();
}

int CKorvaneDlg::AppendEntry(const std::string& name) {
    m_list->addItem(QString::fromStdString(name));
    return m_list->count() - 1;
}
