// The dialogs driven as a player would: controls found by their ids, clicked and typed into,
// modal runs driven from a timer. Runs under the offscreen platform.
#include <QtTest>
#include <QtWidgets>
#include <cstdlib>
#include <sys/stat.h>

#include "RecordingMessageBoxes.h"
#include "RefusingPort.h"
#include "ScopedHostPort.h"
#include "ScopedProgramArguments.h"
#include "TempDir.h"
#include "app/Settings.h"
#include "modpack/GameFolderLock.h"
#include "ui/AboutDlg.h"
#include "ui/ControlIds.h"
#include "ui/HostCheckDlg.h"
#include "ui/InputBlocker.h"
#include "ui/KorvaneDlg.h"
#include "ui/ModpackDrop.h"
#include "ui/ModpackInfoDlg.h"
#include "ui/OptionsDlg.h"

namespace {

using ui::ControlId;

template <typename T = QWidget> T* Control(QWidget* dialog, ControlId id) {
    T* control = dialog->findChild<T*>(ui::ControlName(id));
    if (control == nullptr)
        qFatal("control %d missing", static_cast<int>(id));
    return control;
}

QString Text(QWidget* dialog, ControlId id) {
    QWidget* w = Control(dialog, id);
    return w->property(qobject_cast<QPlainTextEdit*>(w) ? "plainText" : "text").toString();
}

void Click(QWidget* dialog, ControlId id) {
    QTest::mouseClick(Control(dialog, id), Qt::LeftButton);
}

} // namespace

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
    bool Stored(const std::string& value) { return Registry().find(value) != std::string::npos; }

  private slots:
    void init() {
        ::setenv("KORVANE_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
        WriteRegistry("");
        m_messages = new testing_support::ScopedMessageRecorder;
    }
    void cleanup() { delete m_messages; }

    // The texts players read and that other tools find windows by, byte for byte.
    void everyDialogCarriesItsTexts() {
        using Texts = std::vector<std::pair<ControlId, const char*>>;
        auto check = [](QWidget&& dialog, const char* title, const Texts& texts) {
            QCOMPARE(dialog.windowTitle(), QString(title));
            for (const auto& [id, text] : texts)
                QCOMPARE(Text(&dialog, id), QString(text));
        };
        check(CHostCheckDlg(), "KRV Host Check",
              {{ControlId::Unnamed, "Do you want to check the host for KRV ?"},
               {ControlId::AutoJoin, "Automatically join after x seconds"},
               {ControlId::CheckHost, "Join KRV..."},
               {ControlId::JoinNormal, "Join Normal"},
               {ControlId::Cancel, "Cancel"}});
        check(CModpackInfoDlg(), "KRV Modpack Information",
              {{ControlId::StatusText, "Obtaining host info"},
               {ControlId::Ok, "Join"},
               {ControlId::Cancel, "Cancel"}});
        check(COptionsDlg(), "KRV Options",
              {{ControlId::AutoJoin, "Automatically check for KRV and join game after"}});
        check(CAboutDlg(), "About KRV",
              {{ControlId::VersionText, "Korvane (unofficial release)"}, {ControlId::Ok, "OK"}});
        check(
            CKorvaneDlg(), "Korvane (unofficial release)",
            {{ControlId::ModpackNameLabel, "Modpack name :"},
             {ControlId::ShareLabel, "Share Modpack :"},
             {ControlId::ShareModpack, "Share GTI File"},
             {ControlId::AlternateLabel, "Alternate location of Modpack download (http address) :"},
             {ControlId::HostButton, "Host"},
             {ControlId::JoinAddressLabel, "Join IP Address :"},
             {ControlId::JoinButton, "Join"},
             {ControlId::HelpButton, "Help..."},
             {ControlId::OptionsButton, "Options..."},
             {ControlId::AboutButton, "About..."},
             {ControlId::Cancel, "Exit"}});
    }

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

    void mainDialogTabOrderAndVersions() {
        CKorvaneDlg dialog;
        QVERIFY(!Control(&dialog, ControlId::HelpButton)->isEnabled());
        QVERIFY(Control<QPlainTextEdit>(&dialog, ControlId::Comments)->isReadOnly());
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Korvane 1.0 beta 4b (2nd February 2002)"));
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

        CAboutDlg about;
        about.show();
        QCOMPARE(Text(&about, ControlId::VersionText),
                 QString("Korvane Version 1.0 beta 4b (2nd February 2002)"));
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

    void handActionsStartTheGameAndKeepTheDialog() {
        // A game that writes its arguments, one a line, beside itself.
        m_dir.WriteFile("game/giants.exe", "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done "
                                           ">\"$(dirname \"$0\")/args.txt\"\n");
        ::chmod((m_dir / "game/giants.exe").c_str(), 0755);
        for (const char* name : {"own/worldlist.bin", "own/KRVworldlist.bin", "own/Master.abx",
                                 "game/bin/worldlist.bin"})
            m_dir.WriteFile(name, "list");
        WriteRegistry("\"AutoJoin\"=dword:00000001\r\n\"SecondsToJoin\"=dword:00000000\r\n",
                      m_dir / "own", m_dir / "game");
        QVERIFY(GetRegistryItems());
        static char name[] = "korvane";
        static char* argv[] = {name, nullptr};
        const testing_support::ScopedProgramArguments arguments({1, argv});

        CKorvaneDlg dialog;
        dialog.SetInfoReader([](const std::string&, CLevelInfo&) { return false; });
        dialog.LoadList();
        dialog.SelectEntry(0);
        dialog.OnHost();
        QCOMPARE(m_dir.ReadFile("game/args.txt").value_or(""), std::string("[-host]\n"));

        // No host answers: the join asks at a port that refuses, and the automatic join passes
        // over that without a message.
        const testing_support::RefusingPort closed;
        testing_support::ScopedHostPort askClosedPort(closed.Port());
        Control<QLineEdit>(&dialog, ControlId::JoinAddress)->setText("127.0.0.1");
        dialog.OnJoin();
        QCOMPARE(m_dir.ReadFile("game/args.txt").value_or(""),
                 std::string("[-join]\n[127.0.0.1]\n"));
        QVERIFY(m_messages->Empty());

        Control<QLineEdit>(&dialog, ControlId::JoinAddress)->setText("1.2.3");
        dialog.OnJoin();
        QCOMPARE(m_messages->Last().text, std::string("Invalid IP address"));
        QCOMPARE(Text(&dialog, ControlId::Comments),
                 QString("Will host a Giants:Citizen Kabuto game without installing a Modpack"));

        // Another Korvane has its modpack installed in this game folder: neither action starts
        // a game, and each says why.
        GameFolderLock other;
        QVERIFY(other.Acquire(g_strGiantsDir) == GameFolderLock::Result::Held);
        ::unlink((m_dir / "game/args.txt").c_str());
        m_messages->Clear();
        dialog.OnHost();
        Control<QLineEdit>(&dialog, ControlId::JoinAddress)->setText("127.0.0.1:1");
        dialog.OnJoin();
        QVERIFY(!m_dir.ReadFile("game/args.txt"));
        QCOMPARE(m_messages->Count(), size_t{2});
        QVERIFY(m_messages->Last().text.rfind("Another Korvane has a modpack installed", 0) == 0);
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
    DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogsTest.moc"
