#include "ui/SetupDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/FirstSetup.h"
#include "app/Settings.h"
#include "app/WinePrefix.h"
#include "platform/MessageBoxes.h"
#include "platform/Seam.h"

namespace {

constexpr const char* kCaption = "Korvane Setup";

platform::Seam<CSetupDlg::FolderChooser> g_chooser{[](QWidget* parent, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, "Choose a folder", start);
}};

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Stored(const char* key) {
    std::string value = QueryString(key, "DestDir");
    if (!value.empty() && value.back() == '\\')
        value.pop_back();
    return value;
}

QLabel* WrappedLabel(const QString& text, QWidget* parent, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

CSetupDlg::FolderChooser CSetupDlg::SetFolderChooser(FolderChooser chooser) {
    return g_chooser.Exchange(std::move(chooser));
}

CSetupDlg::CSetupDlg(QWidget* parent, Scanner scan) : QDialog(parent) {
    setWindowTitle(kCaption);
    setModal(true);

    auto* gamesLabel = new QLabel("Giants: Citizen Kabuto installations found :", this);
    m_games = new QListWidget(this);
    m_games->setObjectName("games");
    m_games->setSelectionMode(QAbstractItemView::SingleSelection);
    m_scanNote = WrappedLabel("", this, "scanNote");
    m_how = WrappedLabel("", this, "how");
    auto* browseGame = new QPushButton("&Browse...", this);
    browseGame->setObjectName("browseGame");
    auto* launcherLabel = new QLabel("Launcher (empty: wine on the PATH) :", this);
    m_launcher = new QLineEdit(this);
    m_launcher->setObjectName("launcher");
    m_launcher->setPlaceholderText("wine");
    auto* ownLabel = new QLabel("Korvane's own folder :", this);
    m_own = new QLineEdit(this);
    m_own->setObjectName("ownFolder");
    auto* browseOwn = new QPushButton("B&rowse...", this);
    browseOwn->setObjectName("browseOwn");
    m_takeOver = new QCheckBox(this);
    m_takeOver->setObjectName("takeOver");
    m_ownNote = WrappedLabel("", this, "ownNote");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    for (QPushButton* button : {browseGame, browseOwn})
        button->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(gamesLabel, 0, 0, 1, 2);
    grid->addWidget(m_games, 1, 0, 1, 2);
    grid->addWidget(m_scanNote, 2, 0);
    grid->addWidget(browseGame, 2, 1, Qt::AlignTop);
    grid->addWidget(m_how, 3, 0, 1, 2);
    grid->addWidget(launcherLabel, 4, 0, 1, 2);
    grid->addWidget(m_launcher, 5, 0, 1, 2);
    grid->addWidget(ownLabel, 6, 0, 1, 2);
    grid->addWidget(m_own, 7, 0);
    grid->addWidget(browseOwn, 7, 1);
    grid->addWidget(m_takeOver, 8, 0, 1, 2);
    grid->addWidget(m_ownNote, 9, 0, 1, 2);
    grid->addWidget(buttons, 10, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(1, 1);
    setMinimumSize(560, 440);

    connect(m_games, &QListWidget::currentRowChanged, this, [this] { OnGameChanged(); });
    connect(m_games, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(browseGame, &QPushButton::clicked, this, &CSetupDlg::OnBrowseGame);
    connect(browseOwn, &QPushButton::clicked, this, &CSetupDlg::OnBrowseOwn);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSetupDlg::reject);

    app::ScanResult found;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        found = scan ? scan() : app::ScanInstallations(app::ScanPlaces::FromEnvironment());
        QApplication::restoreOverrideCursor();
    }
    m_korvanes = found.korvanes;

    // A folder already set and usable stays the choice, with the launcher stored for it.
    const std::string current = Stored("Software\\PlanetMoon\\Giants");
    int selected = 0;
    bool currentListed = false;
    if (!current.empty() && !app::IsWindowsPath(current) && app::HoldsGame(current)) {
        for (size_t i = 0; i < found.games.size(); ++i)
            if (found.games[i].folder == current) {
                currentListed = true;
                selected = static_cast<int>(i);
            }
        if (!currentListed) {
            const std::string prefix = app::PrefixOfPath(current);
            AddGame({current, "Current setting", prefix.empty() ? app::WinePrefixSetting() : prefix,
                     "", "the folder set now, started with the launcher stored for it"});
            currentListed = true;
        }
    }
    for (const app::FoundGame& game : found.games)
        AddGame(game);
    if (m_found.empty())
        m_scanNote->setText("No installation of Giants was found. Use Browse... to choose the "
                            "folder that holds giants.exe.");
    else if (!found.complete)
        m_scanNote->setText("The search stopped before it had looked everywhere. Use Browse... "
                            "for an installation that is not listed.");
    else
        m_scanNote->setText("Another installation? Use Browse... to choose its folder.");
    // The stored launcher and prefix belong to the stored folder, whichever entry is looked at
    // meanwhile.
    const std::string storedLauncher = app::LauncherSetting();
    if (currentListed && !storedLauncher.empty())
        m_found[static_cast<size_t>(selected)].launcher = storedLauncher;
    const std::string storedPrefix = app::WinePrefixSetting();
    if (currentListed && !storedPrefix.empty() && app::PrefixOfPath(current).empty())
        m_found[static_cast<size_t>(selected)].prefix = storedPrefix;
    if (!m_found.empty())
        m_games->setCurrentRow(selected);

    const std::string own = Stored("Software\\KRV");
    m_own->setText(Text(!own.empty() && !app::IsWindowsPath(own) ? own : app::DefaultOwnFolder()));
    if (!m_korvanes.empty()) {
        // A check box does not wrap its text: the long folder goes into the note below it.
        m_takeOver->setText("Take over the Windows Korvane found: copy its Master.abx, world "
                            "lists, modpacks and settings (nothing is moved)");
        m_takeOver->setChecked(true);
        m_ownNote->setText(Text("The Windows Korvane is in " + m_korvanes[0].folder +
                                ". Files already in Korvane's own folder are kept."));
    } else {
        m_takeOver->hide();
        m_ownNote->setText(
            "Korvane's own folder gets a Modpacks folder and a copy of the game's "
            "bin/worldlist.bin as both of its world lists. A modpack that adds worlds also needs "
            "Master.abx there: Korvane's Windows installation supplied it, so copy it from a "
            "Korvane installed under Windows or Wine.");
    }
    m_games->setFocus();
}

void CSetupDlg::AddGame(const app::FoundGame& game) {
    m_found.push_back(game);
    // Each entry shows where the game is and how it would be started, so two copies of the game
    // (a Steam one and a Wine one) are told apart at a glance.
    auto* item =
        new QListWidgetItem(Text(game.folder + "\n    " + game.source + ": " + game.how), m_games);
    item->setToolTip(Text(game.how));
}

void CSetupDlg::OnGameChanged() {
    const int row = m_games->currentRow();
    if (row < 0 || static_cast<size_t>(row) >= m_found.size()) {
        m_how->clear();
        return;
    }
    const app::FoundGame& game = m_found[static_cast<size_t>(row)];
    m_how->setText(Text(game.how));
    m_launcher->setText(Text(game.launcher));
}

void CSetupDlg::OnBrowseGame() {
    const QString chosen = g_chooser.Get()(this, QString());
    if (chosen.isEmpty())
        return;
    std::string folder = chosen.toStdString();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (!app::HoldsGame(folder)) {
        platform::ShowMessage(folder +
                                  " does not hold giants.exe.\nChoose the game's folder, the one "
                                  "that holds giants.exe.",
                              kCaption, platform::Owner::None);
        return;
    }
    for (size_t i = 0; i < m_found.size(); ++i)
        if (m_found[i].folder == folder) {
            m_games->setCurrentRow(static_cast<int>(i));
            return;
        }
    const std::string prefix = app::PrefixOfPath(folder);
    AddGame({folder, "Chosen", prefix, "",
             prefix.empty() ? "started with wine"
                            : "in the Wine prefix " + prefix +
                                  ", started with wine and WINEPREFIX set to it"});
    m_games->setCurrentRow(m_games->count() - 1);
}

void CSetupDlg::OnBrowseOwn() {
    const QString chosen = g_chooser.Get()(this, m_own->text());
    if (!chosen.isEmpty())
        m_own->setText(chosen);
}

void CSetupDlg::accept() {
    const int row = m_games->currentRow();
    if (row < 0 || static_cast<size_t>(row) >= m_found.size()) {
        platform::ShowMessage("Choose the game: pick an installation in the list, or use "
                              "Browse... to choose the folder that holds giants.exe.",
                              kCaption, platform::Owner::None);
        return;
    }
    std::string own = m_own->text().trimmed().toStdString();
    while (own.size() > 1 && own.back() == '/')
        own.pop_back();
    if (own.empty() || own.front() != '/') {
        platform::ShowMessage("Korvane's own folder must be a full path, such as " +
                                  app::DefaultOwnFolder() + ".",
                              kCaption, platform::Owner::None);
        return;
    }
    app::SetupChoice choice;
    choice.gameDir = m_found[static_cast<size_t>(row)].folder;
    choice.ownDir = own;
    choice.launcher = m_launcher->text().trimmed().toStdString();
    choice.prefix = m_found[static_cast<size_t>(row)].prefix;
    if (!m_korvanes.empty() && m_takeOver->isChecked())
        choice.takeOver = m_korvanes[0];
    if (std::optional<std::string> error = app::ApplySetup(choice)) {
        platform::ShowMessage(*error, platform::kErrorCaption, platform::Owner::None);
        return;
    }
    QDialog::accept();
}
