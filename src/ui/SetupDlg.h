#pragma once
// The setup dialog: which installation of the game Korvane works with, how it is started, and
// Korvane's own folder. Shown at a start without arguments when a folder is unset, missing or a
// Windows path, and from the main window's context menu ("Setup...").
//
// Order of use: construct (which runs the installation scan, bounded in time), exec(); OK checks
// the choice and stores it through app::ApplySetup, and stays open with a message when it cannot.
#include <QDialog>
#include <functional>
#include <vector>

#include "app/InstallationScan.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;

class CSetupDlg : public QDialog {
    Q_OBJECT
  public:
    using Scanner = std::function<app::ScanResult()>;
    // Test seam: what Browse... asks for a folder (Qt's folder dialog unless a test sets another).
    using FolderChooser = std::function<QString(QWidget* parent, const QString& start)>;

    // `scan` defaults to the scan of this user's home.
    explicit CSetupDlg(QWidget* parent = nullptr, Scanner scan = {});

    // Returns the chooser in force before, for the caller to put back.
    static FolderChooser SetFolderChooser(FolderChooser chooser);

    void accept() override;
    void OnBrowseGame();
    void OnBrowseOwn();

  private:
    void OnGameChanged();
    void AddGame(const app::FoundGame& game);

    QListWidget* m_games = nullptr;  // "games"
    QLabel* m_how = nullptr;         // "how": how the selected installation starts
    QLabel* m_scanNote = nullptr;    // "scanNote"
    QLineEdit* m_launcher = nullptr; // "launcher"
    QLineEdit* m_own = nullptr;      // "ownFolder"
    QCheckBox* m_takeOver = nullptr; // "takeOver"
    QLabel* m_ownNote = nullptr;     // "ownNote": what the own folder gets, and Master.abx
    std::vector<app::FoundGame> m_found;
    std::vector<app::FoundKorvane> m_korvanes;
};
