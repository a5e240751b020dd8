// The download progress dialog during a real transfer from a host that stalls: it paints and
// keeps taking events while no data comes, and its Cancel button (or Escape) ends the transfer.
// Also the start-up sweep of what interrupted downloads left in Modpacks. Runs under the
// offscreen platform; the stalling host is the session tests' web server on loopback.
#include <QtTest>
#include <QtWidgets>
#include <cstdlib>
#include <numeric>

#include "FakeModpackList.h"
#include "RecordingMessageBoxes.h"
#include "ScopedInternetTimeouts.h"
#include "ScopedProgramArguments.h"
#include "TempDir.h"
#include "WebServerProcess.h"
#include "app/Settings.h"
#include "platform/InternetClient.h"
#include "session/ModpackDownload.h"
#include "ui/ControlIds.h"
#include "ui/DownloadDlg.h"
#include "ui/KorvaneDlg.h"
#include "ui/QtJoinDialogs.h"

namespace {

using Clock = std::chrono::steady_clock;

CDownloadDlg* OpenDownloadDialog() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<CDownloadDlg*>(window); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

// Counts the paints of the progress dialog and its bar, from anywhere in the application.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    Clock::time_point firstPaint;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && widget &&
            qobject_cast<CDownloadDlg*>(widget->window())) {
            if (paints++ == 0)
                firstPaint = Clock::now();
        }
        return false;
    }
};

} // namespace

class DownloadDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { g_strKorvaneDir.clear(); }

    void paintsThroughAStallAndCancelStops_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Escape") << true;
    }
    void paintsThroughAStallAndCancelStops() {
        QFETCH(bool, escape);
        testing_support::TempDir own, mirror;
        own.WriteFile("Modpacks/Arena.gck", "older");
        const std::string bytes(5000, 'a');
        mirror.WriteFile("Arena.gck", bytes);
        testing_support::WebServerProcess web(mirror.Path());
        g_strKorvaneDir = own.Path();
        // Without a way out, only this time-out would end the stalled transfer, with a message.
        testing_support::ScopedInternetTimeouts timeouts(
            {std::chrono::seconds(5), std::chrono::seconds(10)});
        testing_support::ScopedMessageRecorder messages;
        testing_support::FakeModpackList list({"Arena"}, 1);
        QtJoinDialogs dialogs(nullptr);

        HostAnnouncement announcement;
        announcement.FileName = "Arena.gck";
        announcement.FileSize = static_cast<int64_t>(bytes.size());
        announcement.FileSource = web.Address() + "/stall"; // 10 bytes, then nothing
        announcement.FileSum = std::accumulate(bytes.begin(), bytes.end(), 0u);

        PaintCounter painted;
        qApp->installEventFilter(&painted);
        std::vector<Clock::time_point> ticks;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ticks.push_back(Clock::now()); });
        ticker.start(25);
        Clock::time_point cancelled{};
        int paintsBeforeCancel = 0;
        QTimer::singleShot(1500, [&] {
            CDownloadDlg* dialog = OpenDownloadDialog();
            QVERIFY(dialog != nullptr);
            cancelled = Clock::now();
            paintsBeforeCancel = painted.paints;
            if (escape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                QTest::mouseClick(
                    dialog->findChild<QPushButton*>(ui::ControlName(ui::ControlId::Cancel)),
                    Qt::LeftButton);
        });

        const auto start = Clock::now();
        const DownloadResult result = DownloadModpackFile(announcement, "", list, dialogs);
        const auto end = Clock::now();
        qApp->removeEventFilter(&painted);

        QCOMPARE(int(result), int(DownloadResult::Failed));
        QVERIFY2(messages.Empty(), messages.Empty() ? "" : messages.Last().text.c_str());
        QCOMPARE(own.Snapshot("Modpacks"),
                 (std::map<std::string, std::string>{{"Arena.gck", "older"}}));
        QVERIFY(OpenDownloadDialog() == nullptr);
        // The Cancel came through and the download let go within a few looks.
        QVERIFY(cancelled != Clock::time_point{});
        QVERIFY(end - cancelled < std::chrono::seconds(3));
        // Painted from the start, and taking events at least four times a second all through the
        // stall (the ticker's events are only handled when the download hands the loop a turn).
        QVERIFY(paintsBeforeCancel > 0);
        QVERIFY(painted.firstPaint - start < std::chrono::seconds(1));
        const auto stalled = std::count_if(ticks.begin(), ticks.end(), [&](Clock::time_point t) {
            return t > painted.firstPaint && t <= cancelled;
        });
        const double seconds =
            std::chrono::duration<double>(cancelled - painted.firstPaint).count();
        QVERIFY2(stalled >= 4 * seconds,
                 qPrintable(QString("%1 turns in %2 s").arg(stalled).arg(seconds)));
    }

    void startSweepsInterruptedDownloads() {
        testing_support::TempDir dir;
        for (const char* name : {"own/worldlist.bin", "own/KRVworldlist.bin", "own/Master.abx",
                                 "game/bin/worldlist.bin", "game/giants.exe"})
            dir.WriteFile(name, "x");
        dir.WriteFile("own/Modpacks/.Arena.gck.download-Ab12Cd", "left by a kill");
        dir.WriteFile("own/Modpacks/Arena.gck", "archive");
        dir.WriteFile("registry.reg",
                      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"" +
                          (dir / "own") +
                          "\"\r\n[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n"
                          "\"DestDir\"=\"" +
                          (dir / "game") + "\"\r\n");
        ::setenv("KORVANE_REGISTRY", (dir / "registry.reg").c_str(), 1);
        testing_support::ScopedMessageRecorder messages;
        static char name[] = "korvane";
        static char* argv[] = {name, nullptr};
        const testing_support::ScopedProgramArguments arguments({1, argv});

        CKorvaneDlg dialog;
        dialog.SetInfoReader([](const std::string&, CLevelInfo&) { return true; });
        dialog.OnInitDialog();
        QCOMPARE(dir.Snapshot("own/Modpacks"),
                 (std::map<std::string, std::string>{{"Arena.gck", "archive"}}));
        QVERIFY(messages.Empty());
    }
};

// Fontconfig, loaded by Qt's text layout, keeps its caches until the process ends.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    DownloadDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DownloadDialogTest.moc"
