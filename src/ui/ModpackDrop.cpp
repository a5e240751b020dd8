#include "ui/ModpackDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

#include "app/Settings.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"
#include "ui/KorvaneDlg.h"

namespace {

constexpr const char* kExtension = ".gck";

std::string ModpacksFolder() {
    return g_strKorvaneDir + "\\Modpacks";
}

} // namespace

ModpackDrop::ModpackDrop(CKorvaneDlg* dialog) : QObject(dialog), m_dialog(dialog) {
    m_askReplace = [dialog](const std::string& name) {
        const QString text = QString("Modpacks already holds a different \"%1\".\n"
                                     "Replace it with the dropped modpack?")
                                 .arg(QString::fromStdString(name));
        return QMessageBox::question(dialog, platform::kAppTitle, text,
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    dialog->setAcceptDrops(true);
    dialog->installEventFilter(this);
}

QStringList ModpackDrop::ArchivePaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        const QFileInfo file(url.toLocalFile());
        if (url.isLocalFile() && file.isFile() &&
            file.fileName().endsWith(kExtension, Qt::CaseInsensitive))
            paths << file.absoluteFilePath();
    }
    return paths;
}

bool ModpackDrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_dialog)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!ArchivePaths(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = ArchivePaths(drop->mimeData());
        if (paths.isEmpty())
            return false;
        drop->acceptProposedAction();
        Add(paths);
        return true;
    }
    default:
        return false;
    }
}

int ModpackDrop::Add(const QStringList& paths) {
    std::string last;
    int placed = 0;
    for (const QString& path : paths) {
        const std::string name = AddOne(path.toStdString());
        if (!name.empty()) {
            last = name;
            ++placed;
        }
    }
    if (placed == 0)
        return 0;
    m_dialog->LoadList();
    // An archive whose information cannot be read is not listed (its reader said why).
    const int entry = m_dialog->FindEntry(last.substr(0, last.size() - 4));
    m_dialog->SelectEntry(entry > 0 ? entry : 0);
    return placed;
}

std::string ModpackDrop::AddOne(const std::string& path) {
    platform::FileSystem& files = platform::Files();
    const std::string dropped = path.substr(path.rfind('/') + 1);
    if (!platform::IsPlainFileName(dropped)) {
        platform::ShowMessage("\"" + dropped + "\" cannot be a modpack's name.",
                              platform::kErrorCaption, platform::Owner::MainDialog);
        return {};
    }
    const std::string folder = ModpacksFolder();
    if (!files.CreateDirectory(folder)) {
        platform::ShowMessage("Cannot create " + platform::ResolvePath(folder) + ": " +
                                  platform::LastErrorText(),
                              platform::kErrorCaption, platform::Owner::MainDialog);
        return {};
    }
    // The list compares names without regard to case, as Windows does; so does the drop, and an
    // archive already there keeps the name it has.
    std::string name = dropped;
    if (auto entries = files.ListDirectory(folder)) {
        for (const platform::DirEntry& entry : *entries)
            if (!entry.isDirectory && platform::EqualsIgnoringCase(entry.name, dropped))
                name = entry.name;
    }
    const std::string target = folder + "\\" + name;
    platform::Overwrite overwrite = platform::Overwrite::No;
    if (files.Exists(target)) {
        const auto ours = files.ReadFile(target);
        const auto theirs = files.ReadFile(path);
        if (ours && theirs && *ours == *theirs)
            return name;
        if (!m_askReplace(name))
            return {};
        overwrite = platform::Overwrite::Yes;
    }
    if (!files.CopyFile(path, target, overwrite)) {
        platform::ShowMessage("Cannot copy " + path + " into " + platform::ResolvePath(folder) +
                                  ": " + platform::LastErrorText(),
                              platform::kErrorCaption, platform::Owner::MainDialog);
        return {};
    }
    return name;
}
