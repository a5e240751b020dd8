#pragma once
// Modpack archives dropped on the main window from a file manager: each .gck file is copied into
// the Modpacks folder, the list is read again and the last one dropped is selected, so a player
// never has to find Korvane's folder to add a modpack.
//
// A file already there under the same name (letter case ignored, as on Windows) is left alone
// when it holds the same bytes; a different archive of that name is replaced only when the
// player says yes. Anything else dropped (other files, folders, text) is not accepted.
#include <QObject>
#include <QStringList>
#include <functional>
#include <string>

class CKorvaneDlg;
class QMimeData;

class ModpackDrop : public QObject {
    Q_OBJECT
  public:
    // Watches `dialog`'s drag and drop events; owned by the dialog.
    explicit ModpackDrop(CKorvaneDlg* dialog);

    // Copies the archives into Modpacks, reloads the list and selects the last one copied or
    // already there. Returns how many archives are now in place.
    int Add(const QStringList& paths);

    // Test seam: how the player is asked whether a different archive of the same name may be
    // replaced (a Yes/No box unless a test sets another). Gets the name in the folder.
    using ReplaceQuestion = std::function<bool(const std::string& name)>;
    void SetReplaceQuestion(ReplaceQuestion ask) { m_askReplace = std::move(ask); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    static QStringList ArchivePaths(const QMimeData* data);
    // Puts one archive in place; the name it has in Modpacks, or empty when it is not there.
    std::string AddOne(const std::string& path);

    CKorvaneDlg* m_dialog;
    ReplaceQuestion m_askReplace;
};
