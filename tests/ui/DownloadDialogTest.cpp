// The download progress dialog during a real transfer from a host that stalls: it paints and
// keeps taking events while no data comes, and its Cancel button (or Escape) ends the transfer.
// Runs under the offscreen platform; the stalling host is the session tests' web server on
// loopback.
#include <numeric>

#include "DialogTest.h"
#include "FakeModpackList.h"
#include "RecordingMessageBoxes.h"
#include "ScopedInternetTimeouts.h"
#include "TempDir.h"
#include "WebServerProcess.h"
#include "app/Settings.h"
#include "platform/InternetClient.h"
#include "session/ModpackDownload.h"
#include "ui/DownloadDlg.h"
#include "ui/QtJoinDialogs.h"

namespace {

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

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && widget &&
            qobject_cast<CDownloadDlg*>(widget->window()))
            ++paints;
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
        // Turns of the event loop after the first paint: the ticker's events are only handled
        // when the download hands the loop a turn.
        int turnsAfterPaint = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { turnsAfterPaint += painted.paints > 0 ? 1 : 0; });
        ticker.start(25);
        bool cancelled = false;
        int paintsBeforeCancel = 0, turnsBeforeCancel = 0;
        QTimer::singleShot(1500, [&] {
            CDownloadDlg* dialog = OpenDownloadDialog();
            QVERIFY(dialog != nullptr);
            cancelled = true;
            paintsBeforeCancel = painted.paints;
            turnsBeforeCancel = turnsAfterPaint;
            if (escape)
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog_test::Click(dialog, ui::ControlId::Cancel);
        });

        const DownloadResult result = DownloadModpackFile(announcement, "", list, dialogs);
        qApp->removeEventFilter(&painted);

        QCOMPARE(int(result), int(DownloadResult::Failed));
        QVERIFY2(messages.Empty(), messages.Empty() ? "" : messages.Last().text.c_str());
        QCOMPARE(own.Snapshot("Modpacks"),
                 (std::map<std::string, std::string>{{"Arena.gck", "older"}}));
        QVERIFY(OpenDownloadDialog() == nullptr);
        // The Cancel came through (a stall that only the time-out ended would have left a
        // message), the dialog was painted before it, and the loop kept turning through the stall.
        QVERIFY(cancelled);
        QVERIFY(paintsBeforeCancel > 0);
        QVERIFY2(turnsBeforeCancel >= 4, qPrintable(QString::number(turnsBeforeCancel)));
    }
};

KORVANE_DIALOG_TEST_MAIN(DownloadDialogTest)
#include "DownloadDialogTest.moc"
