#pragma once
// The main dialog: the modpack list with comments and share state, Host and Join, Options and
// About. It owns the engine object and the records behind the list; record k belongs to list
// entry k+1, entry 0 being "Do not install Modpack".
//
// Order of use: construct, OnInitDialog() (settings, list, restore, command-line switches, which
// may run Host or Join and end an automated run), then exec() until the player closes it.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "modpack/Korvane.h"
#include "modpack/LevelInfo.h"
#include "session/ModpackList.h"
#include "ui/QtJoinDialogs.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class CKorvaneDlg : public QDialog, public ModpackList {
    Q_OBJECT
  public:
    explicit CKorvaneDlg(QWidget* parent = nullptr);
    ~CKorvaneDlg() override;

    void OnInitDialog();
    void LoadList();
    void OnSelchangeLevelList();
    void OnShareModpack();
    void OnShareLabel();
    void OnAbout();
    void OnOptions();
    // The setup dialog; after OK the settings and the modpack list are read again. True on OK.
    bool OnSetup();
    void OnHost();
    void OnJoin();
    // The command-line switches, read as the last step of OnInitDialog.
    void ReadSwitches();

    // ModpackList, for the join path.
    int FindEntry(const std::string& name) const override;
    void SelectEntry(int index) override;
    int AppendEntry(const std::string& name) override;

    const std::vector<CLevelInfo>& Levels() const { return m_levels; }
    CKorvane& Korvane() { return m_korvane; }

    // Test seam: how LoadList reads one archive's information (the engine's GetKRVInfoFromGCK
    // unless a test sets another).
    using InfoReader = std::function<bool(const std::string& fileName, CLevelInfo& info)>;
    void SetInfoReader(InfoReader reader) { m_readInfo = std::move(reader); }

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void BuildControls();
    int SelectedEntry() const;
    // The end of a Host or Join that did not reach the game: an automated run is over.
    void EndAction();

    QLineEdit* m_joinAddress = nullptr;
    QPlainTextEdit* m_comments = nullptr;
    QPushButton* m_joinButton = nullptr;
    QLineEdit* m_alternate = nullptr;
    QCheckBox* m_share = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_shareLabel = nullptr;

    std::vector<CLevelInfo> m_levels;
    CKorvane m_korvane;
    QtJoinDialogs m_joinDialogs{this};
    InfoReader m_readInfo;
};
