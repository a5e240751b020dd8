// The setup dialog driven as a player would, over a scan result the test chooses: what is listed,
// how Browse... is checked, and what OK stores. The first start that opens it is an end-to-end
// case (FirstStart).
#include <cstdlib>

#include "DialogTest.h"
#include "RecordingMessageBoxes.h"
#include "ScopedOverride.h"
#include "TempDir.h"
#include "app/FirstSetup.h"
#include "app/Settings.h"
#include "ui/SetupDlg.h"

namespace {

template <typename T> T* Named(QWidget* dialog, const char* name) {
    T* control = dialog->findChild<T*>(name);
    if (control == nullptr)
        qFatal("control %s missing", name);
    return control;
}

using ScopedFolderChooser =
    testing_support::ScopedOverride<CSetupDlg::FolderChooser, &CSetupDlg::SetFolderChooser>;

} // namespace

class SetupDlgTest : public QObject {
    Q_OBJECT
    testing_support::TempDir* m_dir = nullptr;
    testing_support::ScopedMessageRecorder* m_messages = nullptr;
    ScopedFolderChooser* m_chooser = nullptr;
    QString m_chosen;

    std::string Registry() { return m_dir->ReadFile("registry.reg").value_or(""); }
    bool Stored(const std::string& value) { return Registry().find(value) != std::string::npos; }
    void MakeGame(const std::string& folder, const char* exe = "giants.exe") {
        m_dir->WriteFile(folder + "/" + exe, "MZ");
        m_dir->WriteFile(folder + "/bin/worldlist.bin", "worlds of " + folder);
    }
    app::ScanResult TwoGames() {
        MakeGame("game1");
        MakeGame("game2");
        app::ScanResult found;
        found.games = {{*m_dir / "game1", "Wine", *m_dir / "wine", "", "Wine prefix, with wine"},
                       {*m_dir / "game2", "Steam", "", "/steam/Proton 8.0/proton",
                        "Steam game, started through proton run"}};
        return found;
    }

  private slots:
    void init() {
        m_dir = new testing_support::TempDir;
        ::setenv("KORVANE_REGISTRY", (*m_dir / "registry.reg").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (*m_dir / "data").c_str(), 1);
        m_messages = new testing_support::ScopedMessageRecorder;
        m_chooser = new ScopedFolderChooser([this](QWidget*, const QString&) { return m_chosen; });
    }
    void cleanup() {
        delete m_chooser;
        delete m_messages;
        delete m_dir;
    }

    void listsTheFindingsAndStoresTheChosenOneOnEnter() {
        CSetupDlg dialog(nullptr, [this] { return TwoGames(); });
        auto* games = Named<QListWidget>(&dialog, "games");
        QCOMPARE(games->count(), 2);
        QVERIFY(games->item(1)->text().startsWith(QString::fromStdString(*m_dir / "game2")));
        QCOMPARE(games->currentRow(), 0);
        QCOMPARE(Named<QLineEdit>(&dialog, "launcher")->text(), QString());
        QCOMPARE(Named<QLineEdit>(&dialog, "ownFolder")->text(),
                 QString::fromStdString(*m_dir / "data/korvane"));
        QVERIFY(Named<QCheckBox>(&dialog, "takeOver")->isHidden());
        QVERIFY(Named<QLabel>(&dialog, "ownNote")->text().contains("Master.abx"));

        dialog.show();
        QTest::keyClick(games, Qt::Key_Down);
        QCOMPARE(Named<QLineEdit>(&dialog, "launcher")->text(),
                 QString("/steam/Proton 8.0/proton"));
        QVERIFY(Named<QLabel>(&dialog, "how")->text().contains("proton run"));
        QTest::keyClick(games, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(m_messages->Empty());
        QVERIFY(Stored("\"DestDir\"=\"" + m_dir->Path() + "/game2\""));
        QVERIFY(Stored("\"DestDir\"=\"" + m_dir->Path() + "/data/korvane\""));
        QVERIFY(Stored("\"Launcher\"=\"/steam/Proton 8.0/proton\""));
        QCOMPARE(m_dir->ReadFile("data/korvane/KRVworldlist.bin").value_or(""), "worlds of game2");
        QVERIFY(app::CheckFolders().Good());
    }

    void browseAcceptsOnlyAFolderThatHoldsTheGame() {
        CSetupDlg dialog(nullptr, [] { return app::ScanResult{}; });
        auto* games = Named<QListWidget>(&dialog, "games");
        QCOMPARE(games->count(), 0);
        QVERIFY(Named<QLabel>(&dialog, "scanNote")->text().startsWith("No installation"));

        // OK with nothing chosen explains what to do and stays open.
        dialog.accept();
        QCOMPARE(m_messages->Count(), size_t(1));
        QVERIFY(m_messages->Last().text.rfind("Choose the game", 0) == 0);

        m_dir->MakeDirectory("empty");
        m_chosen = QString::fromStdString(*m_dir / "empty");
        dialog.OnBrowseGame();
        QCOMPARE(m_messages->Last().text,
                 m_dir->Path() +
                     "/empty does not hold giants.exe.\nChoose the game's folder, the one "
                     "that holds giants.exe.");
        QCOMPARE(games->count(), 0);

        MakeGame("pfx/drive_c/Games/Giants", "GIANTS.EXE");
        m_chosen = QString::fromStdString(m_dir->Path() + "/pfx/drive_c/Games/Giants/");
        dialog.OnBrowseGame();
        QCOMPARE(games->count(), 1);
        QCOMPARE(games->currentRow(), 0);
        QVERIFY(Named<QLabel>(&dialog, "how")->text().contains("WINEPREFIX"));
        // The same folder again selects it rather than listing it twice.
        dialog.OnBrowseGame();
        QCOMPARE(games->count(), 1);

        // A relative own folder is refused before anything is written.
        Named<QLineEdit>(&dialog, "ownFolder")->setText("korvane");
        dialog.accept();
        QVERIFY(m_messages->Last().text.rfind("Korvane's own folder must be a full path", 0) == 0);
        QCOMPARE(Registry(), std::string());
        Named<QLineEdit>(&dialog, "ownFolder")
            ->setText(QString::fromStdString(m_dir->Path() + "/own/"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(Stored("\"DestDir\"=\"" + m_dir->Path() + "/pfx/drive_c/Games/Giants\""));
        QVERIFY(Stored("\"DestDir\"=\"" + m_dir->Path() + "/own\""));
    }

    void takesOverAWindowsKorvaneAndReopensOnTheCurrentChoice() {
        m_dir->WriteFile("win/Master.abx", "master");
        m_dir->WriteFile("win/Modpacks/Arena.gck", "arena");
        auto scan = [this] {
            app::ScanResult found = TwoGames();
            found.korvanes.push_back({*m_dir / "win", *m_dir / "wine", "-window", 9u, 1u});
            return found;
        };
        {
            CSetupDlg dialog(nullptr, scan);
            auto* takeOver = Named<QCheckBox>(&dialog, "takeOver");
            QVERIFY(!takeOver->isHidden());
            QVERIFY(takeOver->isChecked());
            QVERIFY(Named<QLabel>(&dialog, "ownNote")
                        ->text()
                        .contains(QString::fromStdString(*m_dir / "win")));
            Named<QLineEdit>(&dialog, "launcher")->setText("/opt/wine-8/bin/wine");
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        // What a take-over copies and stores is FirstSetupTest's; here, that it happened.
        QCOMPARE(m_dir->ReadFile("data/korvane/Master.abx").value_or(""), "master");

        // Opened again, from the menu: the stored game is chosen with its stored launcher, and a
        // stored game that the scan does not find is listed first.
        CSetupDlg again(nullptr, scan);
        QCOMPARE(Named<QListWidget>(&again, "games")->currentRow(), 0);
        QCOMPARE(Named<QLineEdit>(&again, "launcher")->text(), QString("/opt/wine-8/bin/wine"));
        again.show();
        QTest::keyClick(Named<QListWidget>(&again, "games"), Qt::Key_Down);
        QTest::keyClick(Named<QListWidget>(&again, "games"), Qt::Key_Up);
        QCOMPARE(Named<QLineEdit>(&again, "launcher")->text(), QString("/opt/wine-8/bin/wine"));
        MakeGame("elsewhere");
        QVERIFY(app::ApplySetup({*m_dir / "elsewhere", *m_dir / "data/korvane", "", {}, ""}) ==
                std::nullopt);
        CSetupDlg third(nullptr, scan);
        QCOMPARE(Named<QListWidget>(&third, "games")->count(), 3);
        QVERIFY(Named<QListWidget>(&third, "games")->item(0)->text().contains("Current setting"));
    }
};

KORVANE_DIALOG_TEST_MAIN(SetupDlgTest)
#include "SetupDlgTest.moc"
