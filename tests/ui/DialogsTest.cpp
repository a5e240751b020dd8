// The dialogs driven as a player would: controls found by their ids, clicked and typed into,
// modal runs driven from a timer. Runs under the offscreen platform.
#include <cstdlib>
#include <sys/stat.h>

#include "DialogTest.h"
#include "RecordingMessageBoxes.h"
#include "ScopedProgramArguments.h"
#include "TempDir.h"
#include "app/Settings.h"
#include "modpack/GameFolderLock.h"
#include "ui/HostCheckDlg.h"
#include "ui/InputBlocker.h"
#include "ui/KorvaneDlg.h"
#include "ui/ModpackDrop.h"
#include "ui/ModpackInfoDlg.h"
#include "ui/OptionsDlg.h"

using namespace dialog_test;

class DialogsTest : public QObject {
    Q_OBJECT
    testing_support::TempDir m_dir;
    testing_support::ScopedMessageRecorder* m_messages = nullptr;

    void WriteRegistry(const std::string& krvValues, const std::string& own = "/own",
                       const std::string& game = "/game") {
        m_dir.WriteFile("registry.reg",
                        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"" +
                            own + "\"\r\n" + krvValues +
                            "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n\"DestDir\"=\"" +
                            game + "\"\r\n");
    }
    std::string Registry() { return m_dir.ReadFile("registry.reg").value_or(""); }
    // Settings and folders of a working installation in m_dir, and a start without arguments.
    testing_support::ScopedProgramArguments StartedWithoutArguments() {
        for (const char* name : {"own/worldlist.bin", "own/KRVworldlist.bin", "own/Master.abx",
                                 "game/bin/worldlist.bin"})
            m_dir.WriteFile(name, "list");
        WriteRegistry("\"AutoJoin\"=dword:00000001\r\n\"SecondsToJoin\"=dword:00000000\r\n",
                      m_dir / "own", m_dir / "game");
        if (!GetRegistryItems())
            qFatal("the settings do not load");
        static char name[] = "korvane";
        static char* argv[] = {name, nullptr};
        return testing_support::ScopedProgramArguments({1, argv});
    }
    bool Stored(const std::string& value) { return Registry().find(value) != std::string::npos; }

  private slots:
    void init() {
        ::setenv("KORVANE_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
        WriteRegistry("");
        m_messages = new testing_support::ScopedMessageRecorder;
    }
    void cleanup() { delete m_messages; }

    void hostCheckStoresTheChoiceOrSaysWhyNot() {
        g_bAutoJoin = 1;
        g_nSecondsToJoin = 0;
        CHostCheckDlg dialog;
        // Enter joins normally.
        QVERIFY(Control<QPushButton>(&dialog, ControlId::JoinNormal)->isDefault());
        QCOMPARE(dialog.exec(), 3);
        QVERIFY(Stored("\"AutoJoin\"=dword:00000001"));
        QVERIFY(m_messages->Empty());

        m_dir.WriteFile("registry.reg", "REGEDIT4\r\n\r\n"); // the choice cannot be stored
        g_bAutoJoin = 0;
        CHostCheckDlg unstored;
        QTimer::singleShot(20, [&] { Click(&unstored, ControlId::CheckHost); });
        QCOMPARE(unstored.exec(), 0);
        QCOMPARE(Text(&unstored, ControlId::AutoJoin), QString("Auto check and join game ..."));
        QCOMPARE(m_messages->Last().text,
                 std::string("Could not write to KRV registry\nError in CRegKey::Open"));
        QCOMPARE(m_messages->Last().caption, std::string("Korvane"));
        QVERIFY(m_messages->Last().owner == platform::Owner::ActiveDialog);
        CHostCheckDlg again;
        QTimer::singleShot(20, [&] { QTest::keyClick(&again, Qt::Key_Escape); });
        QCOMPARE(again.exec(), 2);
    }

    void hostCheckCountsDownAndUntickingStopsIt() {
        g_bAutoJoin = 1;
        g_nSecondsToJoin = 5;
        CHostCheckDlg dialog;
        auto* box = Control<QCheckBox>(&dialog, ControlId::AutoJoin);
        QString first, afterUntick;
        // The text as shown: "&&" is how a label writes one "&".
        QTimer::singleShot(50, [&] { first = box->text().replace("&&", "&"); });
        QTimer::singleShot(1100, [&] {
            QTest::mouseClick(box, Qt::LeftButton);
            afterUntick = box->text();
        });
        QTimer::singleShot(2600, [&] {
            QVERIFY(dialog.isVisible());
            QCOMPARE(box->text(), QString("Auto check and join game ..."));
            Click(&dialog, ControlId::Cancel);
        });
        QCOMPARE(dialog.exec(), 2);
        QCOMPARE(first, QString("Auto check & join game in 5 seconds"));
        QCOMPARE(afterUntick, QString("Auto check and join game ..."));
        QCOMPARE(g_bAutoJoin, 0u);
        QVERIFY(Stored("\"AutoJoin\"=dword:00000000"));
    }

    void modpackInfoWithJoinNotAllowedOnlyCancels() {
        CModpackInfoDlg dialog;
        dialog.m_strStatusText = "Modpack not installed";
        dialog.m_strUserMessage = "line one\r\nline two";
        dialog.m_bJoinAllowed = 0;
        QTimer::singleShot(0, [&] {
            QVERIFY(!Control(&dialog, ControlId::Ok)->isEnabled());
            QCOMPARE(Text(&dialog, ControlId::StatusText), QString("Modpack not installed"));
            QCOMPARE(Text(&dialog, ControlId::UserMessage), QString("line one\nline two"));
            QVERIFY(Control<QPlainTextEdit>(&dialog, ControlId::UserMessage)->isReadOnly());
            Click(&dialog, ControlId::Cancel);
        });
        QCOMPARE(dialog.exec(), 2);
        CModpackInfoDlg allowed;
        allowed.m_bJoinAllowed = 1;
        QTimer::singleShot(0, [&] { Click(&allowed, ControlId::Ok); });
        QCOMPARE(allowed.exec(), 1);
    }

    void optionsNormaliseSecondsAndStoreOnOKOnly() {
        WriteRegistry("\"CMDLine\"=\"+fast\"\r\n\"SecondsToJoin\"=dword:00000007\r\n"
                      "\"AutoJoin\"=dword:00000009\r\n");
        COptionsDlg dialog;
        auto* seconds = Control<QLineEdit>(&dialog, ControlId::SecondsToJoin);
        auto* box = Control<QCheckBox>(&dialog, ControlId::AutoJoin);
        QTimer::singleShot(0, [&] {
            QCOMPARE(Text(&dialog, ControlId::Parameters), QString("+fast"));
            QVERIFY(box->isChecked());
            QCOMPARE(seconds->text(), QString("7"));
            for (auto [typed, shown] : {std::pair{"75", "60"}, {"abc", ""}}) {
                seconds->setText(typed);
                QFocusEvent leave(QEvent::FocusOut);
                QApplication::sendEvent(seconds, &leave);
                QCOMPARE(seconds->text(), QString(shown));
            }
            QTest::mouseClick(box, Qt::LeftButton);
            QVERIFY(!seconds->isEnabled());
            QCOMPARE(seconds->text(), QString());
            QTest::mouseClick(box, Qt::LeftButton);
            QCOMPARE(seconds->text(), QString("7")); // the value loaded, not the text typed
            seconds->setText("42");
            Control<QLineEdit>(&dialog, ControlId::Parameters)->setText(QString(600, 'p'));
            Click(&dialog, ControlId::Ok);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(Stored("\"SecondsToJoin\"=dword:0000002a"));
        QVERIFY(Stored("\"AutoJoin\"=dword:00000001"));
        QVERIFY(Stored("\"CMDLine\"=\"" + std::string(510, 'p') + "\""));

        COptionsDlg unticked; // keeps the seconds stored
        QTimer::singleShot(0, [&] {
            Click(&unticked, ControlId::AutoJoin);
            Click(&unticked, ControlId::Ok);
        });
        QCOMPARE(unticked.exec(), int(QDialog::Accepted));
        QVERIFY(Stored("\"AutoJoin\"=dword:00000000"));
        QVERIFY(Stored("\"SecondsToJoin\"=dword:0000002a"));
        const std::string before = Registry();
        COptionsDlg cancelled;
        QTimer::singleShot(0, [&] {
            Control<QLineEdit>(&cancelled, ControlId::Parameters)->setText("changed");
            Click(&cancelled, ControlId::Cancel);
        });
        QCOMPARE(cancelled.exec(), int(QDialog::Rejected));
        QCOMPARE(Registry(), before);
    }

    void mainDialogTabOrder() {
        CKorvaneDlg dialog;
        QVERIFY(!Control(&dialog, ControlId::HelpButton)->isEnabled());
        QVERIFY(Control<QPlainTextEdit>(&dialog, ControlId::Comments)->isReadOnly());
        dialog.show();
        // The tab order of the original controls, by the object names written out: tools outside
        // the program find the controls by these names, so the ids must not drift from them.
        QStringList chain;
        QWidget* w = Control(&dialog, ControlId::ModpackList);
        do {
            bool numeric = false;
            w->objectName().toInt(&numeric);
            if (numeric && w->focusPolicy() != Qt::NoFocus)
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != Control(&dialog, ControlId::ModpackList));
        QCOMPARE(chain.join(' '), QString("1000 1020 1012 1010 1002 1030 1001 57670 1011 1015 2"));
    }

    void mainDialogSortsTheListAndFollowsTheShareRules() {
        // "\xDC" is a Windows-1252 "Ü": a name copied from Windows media, shown as Windows shows
        // it.
        for (const char* name : {"b.gck", "A.gck", "Z.GCK", "broken.gck", "notes.txt",
                                 "\xDC"
                                 "berfall.gck"})
            m_dir.WriteFile(std::string("own/Modpacks/") + name, "");
        g_strKorvaneDir = m_dir / "own";
        CKorvaneDlg dialog;
        dialog.SetInfoReader([](const std::string& name, CLevelInfo& info) {
            info.comment = "comment of " + name;
            info.shareable = name == "A.gck" ? 1 : 0;
            return name != "broken.gck";
        });
        dialog.LoadList();
        dialog.SelectEntry(0);
        auto* list = Control<QListWidget>(&dialog, ControlId::ModpackList);
        QStringList entries;
        for (int i = 0; i < list->count(); ++i)
            entries << list->item(i)->text();
        QCOMPARE(entries, QStringList({"Do not install Modpack", "A", "b", "Z",
                                       "\u00DC"
                                       "berfall"}));
        auto* share = Control<QCheckBox>(&dialog, ControlId::ShareModpack);
        auto* alternate = Control(&dialog, ControlId::AlternateLocation);
        QCOMPARE(Text(&dialog, ControlId::Comments),
                 QString("Will host a Giants:Citizen Kabuto game without installing a Modpack"));
        QVERIFY(!share->isEnabled() && !share->isChecked() && !alternate->isEnabled());

        list->setCurrentRow(1); // as a click would
        QCOMPARE(Text(&dialog, ControlId::Comments), QString("comment of A.gck"));
        QVERIFY(share->isEnabled() && share->isChecked() && alternate->isEnabled());
        Click(&dialog, ControlId::ShareLabel); // the label toggles its box
        QVERIFY(!share->isChecked() && !alternate->isEnabled());
        QTest::mouseClick(share, Qt::LeftButton);
        QVERIFY(share->isChecked() && alternate->isEnabled());

        list->setCurrentRow(2);
        QVERIFY(!share->isEnabled() && !share->isChecked() && !alternate->isEnabled());
        Click(&dialog, ControlId::ShareLabel); // a disabled box is left alone
        QVERIFY(!share->isChecked());

        QCOMPARE(dialog.FindEntry("z"), 3);
        QCOMPARE(dialog.FindEntry("\xC3\xBC"
                                  "BERFALL"),
                 4);
        QCOMPARE(dialog.AppendEntry("new"), 5);
        dialog.SelectEntry(5); // appended by a join, no record yet
        QVERIFY(!share->isEnabled());
    }

    // Files dropped from a file manager: only .gck archives are taken, a different archive of
    // the same name (any letter case) is replaced only on yes, and the one dropped is selected.
    void droppedArchivesJoinTheListAndReplaceOnlyOnYes() {
        m_dir.WriteFile("drop/own/Modpacks/Desert.gck", "old desert");
        m_dir.WriteFile("drop/in/New.gck", "new");
        m_dir.WriteFile("drop/in/desert.GCK", "other desert");
        m_dir.WriteFile("drop/in/same/Desert.gck", "old desert");
        m_dir.WriteFile("drop/in/notes.txt", "");
        g_strKorvaneDir = m_dir / "drop/own";
        CKorvaneDlg dialog;
        dialog.SetInfoReader([](const std::string&, CLevelInfo&) { return true; });
        dialog.LoadList();
        auto* drop = dialog.findChild<ModpackDrop*>();
        QVERIFY(drop != nullptr);
        QStringList asked;
        bool answer = false;
        drop->SetReplaceQuestion([&](const std::string& name) {
            asked << QString::fromStdString(name);
            return answer;
        });
        auto dropFiles = [&](const QStringList& names) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& name : names)
                urls << QUrl::fromLocalFile(QString::fromStdString(m_dir / "drop/in/") + name);
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(&dialog, &enter);
            if (!enter.isAccepted())
                return false;
            QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                               Qt::NoModifier);
            QApplication::sendEvent(&dialog, &dropped);
            return dropped.isAccepted();
        };
        auto* list = Control<QListWidget>(&dialog, ControlId::ModpackList);
        auto selected = [&] { return list->currentItem() ? list->currentItem()->text() : ""; };
        const auto modpacks = [&] { return m_dir.Snapshot("drop/own/Modpacks"); };

        QVERIFY(!dropFiles({"notes.txt"}));
        {
            ui::InputBlocker busy; // as while the game runs
            QVERIFY(!dropFiles({"New.gck"}));
        }
        QVERIFY(dropFiles({"notes.txt", "New.gck"}));
        QCOMPARE(selected(), QString("New"));
        QCOMPARE(list->count(), 3);
        QCOMPARE(m_dir.ReadFile("drop/own/Modpacks/New.gck").value_or(""), std::string("new"));

        const auto before = modpacks();
        QVERIFY(dropFiles({"same/Desert.gck"})); // the same bytes: nothing to ask
        QVERIFY(asked.isEmpty());
        QCOMPARE(selected(), QString("Desert"));
        list->setCurrentRow(0);
        QVERIFY(dropFiles({"desert.GCK"}));
        QCOMPARE(asked, QStringList{"Desert.gck"});
        QCOMPARE(modpacks(), before);
        QCOMPARE(selected(), QString("Do not install Modpack"));

        answer = true;
        QVERIFY(dropFiles({"desert.GCK"}));
        QCOMPARE(m_dir.ReadFile("drop/own/Modpacks/Desert.gck").value_or(""),
                 std::string("other desert"));
        QCOMPARE(modpacks().size(), before.size());
        QCOMPARE(selected(), QString("Desert"));
        QVERIFY(m_messages->Empty());
    }

    void busySpellsSwallowInputToOpenWindowsOnly() {
        QPushButton before("main window");
        before.show();
        int clicks = 0;
        connect(&before, &QPushButton::clicked, [&] { ++clicks; });
        {
            ui::InputBlocker busy;
            QTest::mouseClick(&before, Qt::LeftButton);
            QPushButton message("a box shown meanwhile");
            message.show();
            connect(&message, &QPushButton::clicked, [&] { clicks += 10; });
            QTest::mouseClick(&message, Qt::LeftButton);
        }
        QCOMPARE(clicks, 10);
        QTest::mouseClick(&before, Qt::LeftButton);
        QCOMPARE(clicks, 11);
    }

    // Host and Join by hand start the game, unless the typed address is no address or another
    // Korvane has its modpack installed in this game folder; the dialog stays as it was.
    void handActionsStartTheGameOrSayWhyNot() {
        // A game that writes its arguments, one a line, beside itself.
        m_dir.WriteFile("game/giants.exe", "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done "
                                           ">\"$(dirname \"$0\")/args.txt\"\n");
        ::chmod((m_dir / "game/giants.exe").c_str(), 0755);
        const testing_support::ScopedProgramArguments arguments = StartedWithoutArguments();

        CKorvaneDlg dialog;
        dialog.SetInfoReader([](const std::string&, CLevelInfo&) { return false; });
        dialog.LoadList();
        dialog.SelectEntry(0);
        dialog.OnHost();
        QCOMPARE(m_dir.ReadFile("game/args.txt").value_or(""), std::string("[-host]\n"));
        QVERIFY(m_messages->Empty());

        ::unlink((m_dir / "game/args.txt").c_str());
        Control<QLineEdit>(&dialog, ControlId::JoinAddress)->setText("1.2.3");
        dialog.OnJoin();
        QCOMPARE(m_messages->Last().text, std::string("Invalid IP address"));
        QCOMPARE(Text(&dialog, ControlId::Comments),
                 QString("Will host a Giants:Citizen Kabuto game without installing a Modpack"));

        GameFolderLock other;
        QVERIFY(other.Acquire(g_strGiantsDir) == GameFolderLock::Result::Held);
        m_messages->Clear();
        dialog.OnHost();
        Control<QLineEdit>(&dialog, ControlId::JoinAddress)->setText("127.0.0.1:1");
        dialog.OnJoin();
        QVERIFY(!m_dir.ReadFile("game/args.txt"));
        QCOMPARE(m_messages->Count(), size_t{2});
        QVERIFY(m_messages->Last().text.rfind("Another Korvane has a modpack installed", 0) == 0);
    }

    // What a download killed half way left in Modpacks is gone once the window is up.
    void startSweepsInterruptedDownloads() {
        m_dir.WriteFile("game/giants.exe", "x");
        m_dir.WriteFile("own/Modpacks/.Arena.gck.download-Ab12Cd", "left by a kill");
        m_dir.WriteFile("own/Modpacks/Arena.gck", "archive");
        const testing_support::ScopedProgramArguments arguments = StartedWithoutArguments();
        CKorvaneDlg dialog;
        dialog.SetInfoReader([](const std::string&, CLevelInfo&) { return true; });
        dialog.OnInitDialog();
        QVERIFY(!m_dir.ReadFile("own/Modpacks/.Arena.gck.download-Ab12Cd"));
        QCOMPARE(m_dir.ReadFile("own/Modpacks/Arena.gck").value_or(""), std::string("archive"));
        QVERIFY(m_messages->Empty());
    }
};

KORVANE_DIALOG_TEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
