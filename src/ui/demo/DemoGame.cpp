// The stand-in for giants.exe in the demo sandbox. It shows the arguments it was started with and
// the files now in the game folder (where a modpack was installed), and exits with status 0 when
// the player closes it. Korvane starts it with the game folder as the current directory.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QString ArgumentsText(int argc, char** argv) {
    QString text;
    for (int i = 0; i < argc; ++i)
        text += QString("argv[%1] = \"%2\"\n").arg(i).arg(QString::fromLocal8Bit(argv[i]));
    return text;
}

QString GameFolderText(const QDir& folder) {
    QString text;
    QDirIterator it(folder.path(), QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QStringList lines;
    while (it.hasNext()) {
        it.next();
        const QString relative = folder.relativeFilePath(it.filePath());
        lines << QString("%1  (%2 bytes)").arg(relative).arg(it.fileInfo().size());
    }
    lines.sort(Qt::CaseInsensitive);
    return lines.join('\n');
}

} // namespace

// For builds with the leak checker: fontconfig and D-Bus, loaded by Qt on a desktop, keep caches
// until the process ends. A report would turn the exit status non-zero, which Korvane treats as a
// game that did not end properly.
// The leak checker looks these hooks up by their reserved names.
extern "C" const char* __lsan_default_suppressions() { // NOLINT(bugprone-reserved-identifier)
    return "leak:libfontconfig\nleak:libdbus-1\n";
}
extern "C" const char* __lsan_default_options() { // NOLINT(bugprone-reserved-identifier)
    return "print_suppressions=0";
}

int main(int argc, char** argv) {
    // The arguments are read before Qt sees them, so they show exactly as the game got them.
    const QString arguments = ArgumentsText(argc, argv);
    static int qtArgc = 1;
    static char name[] = "giants-demo";
    static char* qtArgv[] = {name, nullptr};
    QApplication app(qtArgc, qtArgv);

    QWidget window;
    window.setWindowTitle("Giants: Citizen Kabuto (demo stand-in)");
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel("This stands in for the game. Korvane started it with:"));
    auto* argumentView = new QPlainTextEdit(arguments);
    argumentView->setReadOnly(true);
    layout->addWidget(argumentView);
    const QDir folder = QDir::current();
    layout->addWidget(new QLabel("Files in the game folder " + folder.path() +
                                 " (a hosted or joined modpack shows under bin):"));
    auto* filesView = new QPlainTextEdit(GameFolderText(folder));
    filesView->setReadOnly(true);
    layout->addWidget(filesView, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QWidget::close);
    window.resize(640, 480);
    window.show();
    app.exec();
    return 0;
}
