// The dialogs driven as a player would: controls found by their ids, clicked and typed into,
// modal runs driven from a timer. Runs under the offscreen platform.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cstdlib>
#include <sys/stat.h>

#include "RecordingMessageBoxes.h"
#include "TempDir.h"
#include "app/Settings.h"
#include "ui/AboutDlg.h"
#include "ui/HostCheckDlg.h"
#include "ui/InputBlocker.h"
#include "ui/KorvaneDlg.h"
#include "ui/ModpackInfoDlg.h"
#include "ui/OptionsDlg.h"
#include "ui/ProgramArguments.h"

namespace {

template <typename T> T* Control(QWidget* dialog, int id) {
    T* control = dialog->findChild<T*>(QString::number(id));
    if (control == nullptr)
        qFatal("control %d missing", id);
    return control;
}

QString Text(QWidget* dialog, int id) {
    QWidget* w = Control<QWidget>(dialog, id);
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        return p->toPlainText();
    return "<no text>";
}

// Runs `step` once the dialog's own modal loop has started.
void Later(std::function<void()> step, int ms = 0) {
    QTimer::singleShot(ms, step);
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
    testing_support::TempDir m_dir;
    std::string m_registry;
    testing_support::ScopedMessageRecorder* m_messages = nullptr;

    void WriteRegistry(const std::string& body) {
        m_dir.WriteFile("registry.reg", "REGEDIT4\r\n\r\n" + body);
    }
    std::string Registry() { return m_dir.ReadFile("registry.reg").value_or(""); }

  private slots:
    void init() {
        m_registry = m_dir / "registry.reg";
        ::setenv("KORVANE_REGISTRY", m_registry.c_str(), 1);
        WriteRegistry(
            "[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"/own\"\r\n"
            "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n\"DestDir\"=\"/game\"\r\n");
        m_messages = new testing_support::ScopedMessageRecorder;
    }
    void cleanup() { delete m_messages; }

    void hostCheckWithZeroSecondsEndsAtOnceAndStoresTheChoice() {
        g_bAutoJoin = 1;
        g_nSecondsToJoin = 0;
        CHostCheckDlg dialog;
        QCOMPARE(Text(&dialog, -1), QString("Do you want to check the host for KRV ?"));
        QCOMPARE(Text(&dialog, 1035), QString("Automatically join after x seconds"));
        QCOMPARE(Text(&dialog, 3), QString("Join KRV..."));
        QCOMPARE(Text(&dialog, 1037), QString("Join Normal"));
        QVERIFY(Control<QPushButton>(&dialog, 1037)->isDefault());
        QCOMPARE(Text(&dialog, 2), QString("Cancel"));
        QCOMPARE(dialog.windowTitle(), QString("KRV Host Check"));
        QCOMPARE(dialog.exec(), 3);
        QVERIFY(Registry().find("\"AutoJoin\"=dword:00000001") != std::string::npos);
        QVERIFY(m_messages->Empty());
    }

    void hostCheckCountsDownAndUntickingStopsIt() {
        g_bAutoJoin = 1;
        g_nSecondsToJoin = 5;
        CHostCheckDlg dialog;
        auto* box = Control<QCheckBox>(&dialog, 1035);
        QString first, afterUntick;
        // The text as shown: "&&" is how a label writes one "&".
        Later([&] { first = box->text().replace("&&", "&"); }, 50);
        Later(
            [&] {
                QTest::mouseClick(box, Qt::LeftButton);
                afterUntick = box->text();
            },
            1100);
        Later(
            [&] {
                QVERIFY(dialog.isVisible());
                QCOMPARE(box->text(), QString("Auto check and join game ..."));
                QTest::mouseClick(Control<QPushButton>(&dialog, 2), Qt::LeftButton);
            },
            2600);
        QCOMPARE(dialog.exec(), 2);
        QCOMPARE(first, QString("Auto check & join game in 5 seconds"));
        QCOMPARE(afterUntick, QString("Auto check and join game ..."));
        QCOMPARE(g_bAutoJoin, 0u);
        QVERIFY(Registry().find("\"AutoJoin\"=dword:00000000") != std::string::npos);
    }

    void hostCheckButtonsAndMissingKey() {
        WriteRegistry(""); // no Software\KRV: the choice cannot be stored
        g_bAutoJoin = 0;
        CHostCheckDlg dialog;
        Later([&] { QTest::mouseClick(Control<QPushButton>(&dialog, 3), Qt::LeftButton); }, 20);
        QCOMPARE(dialog.exec(), 0);
        QCOMPARE(Text(&dialog, 1035), QString("Auto check and join game ..."));
        QCOMPARE(m_messages->Last().text,
                 std::string("Could not write to KRV registry\nError in CRegKey::Open"));
        QCOMPARE(m_messages->Last().caption, std::string("Korvane"));
        QVERIFY(m_messages->Last().owner == platform::Owner::ActiveDialog);
        CHostCheckDlg again;
        Later([&] { QTest::keyClick(&again, Qt::Key_Escape); }, 20);
        QCOMPARE(again.exec(), 2);
    }

    void modpackInfoWithJoinNotAllowedOnlyCancels() {
        CModpackInfoDlg dialog;
        QCOMPARE(dialog.windowTitle(), QString("KRV Modpack Information"));
        QCOMPARE(Text(&dialog, 1029), QString("Obtaining host info"));
        dialog.m_strStatusText = "Modpack not installed";
        dialog.m_strUserMessage = "line one\r\nline two";
        dialog.m_bJoinAllowed = 0;
        Later([&] {
            QVERIFY(!Control<QPushButton>(&dialog, 1)->isEnabled());
            QCOMPARE(Text(&dialog, 1029), QString("Modpack not installed"));
            QCOMPARE(Text(&dialog, 1028), QString("line one\nline two"));
            QVERIFY(Control<QPlainTextEdit>(&dialog, 1028)->isReadOnly());
            QTest::mouseClick(Control<QPushButton>(&dialog, 2), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), 2);
        CModpackInfoDlg allowed;
        allowed.m_bJoinAllowed = 1;
        Later([&] { QTest::mouseClick(Control<QPushButton>(&allowed, 1), Qt::LeftButton); });
        QCOMPARE(allowed.exec(), 1);
    }

    void optionsNormalisesSecondsAndStoresOnOK() {
        WriteRegistry(
            "[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"/own\"\r\n"
            "\"CMDLine\"=\"+fast\"\r\n\"SecondsToJoin\"=dword:00000007\r\n"
            "\"AutoJoin\"=dword:00000009\r\n"
            "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n\"DestDir\"=\"/g\"\r\n");
        COptionsDlg dialog;
        QCOMPARE(dialog.windowTitle(), QString("KRV Options"));
        QCOMPARE(Text(&dialog, 1035), QString("Automatically check for KRV and join game after"));
        auto* seconds = Control<QLineEdit>(&dialog, 1036);
        auto* box = Control<QCheckBox>(&dialog, 1035);
        Later([&] {
            QCOMPARE(Text(&dialog, 1015), QString("+fast"));
            QVERIFY(box->isChecked());
            QCOMPARE(seconds->text(), QString("7"));
            const std::pair<const char*, const char*> cases[] = {
                {"75", "60"}, {"-3", "0"}, {"12abc", "12"}, {"abc", ""}};
            for (auto [typed, shown] : cases) {
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
            Control<QLineEdit>(&dialog, 1015)->setText(QString(600, 'p'));
            QTest::mouseClick(Control<QPushButton>(&dialog, 1), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        const std::string stored = Registry();
        QVERIFY(stored.find("\"SecondsToJoin\"=dword:0000002a") != std::string::npos);
        QVERIFY(stored.find("\"AutoJoin\"=dword:00000001") != std::string::npos);
        QVERIFY(stored.find("\"CMDLine\"=\"" + std::string(510, 'p') + "\"") != std::string::npos);
    }

    void optionsUntickedKeepsSecondsAndCancelStoresNothing() {
        WriteRegistry(
            "[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"/own\"\r\n"
            "\"SecondsToJoin\"=dword:00000009\r\n\"AutoJoin\"=dword:00000001\r\n"
            "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n\"DestDir\"=\"/g\"\r\n");
        COptionsDlg dialog;
        Later([&] {
            QTest::mouseClick(Control<QCheckBox>(&dialog, 1035), Qt::LeftButton);
            QTest::mouseClick(Control<QPushButton>(&dialog, 1), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(Registry().find("\"AutoJoin\"=dword:00000000") != std::string::npos);
        QVERIFY(Registry().find("\"SecondsToJoin\"=dword:00000009") != std::string::npos);
        const std::string before = Registry();
        COptionsDlg cancelled;
        Later([&] {
            Control<QLineEdit>(&cancelled, 1015)->setText("changed");
            QTest::mouseClick(Control<QPushButton>(&cancelled, 2), Qt::LeftButton);
        });
        QCOMPARE(cancelled.exec(), int(QDialog::Rejected));
        QCOMPARE(Registry(), before);
    }

    void aboutShowsTheVersion() {
        CAboutDlg dialog;
        QCOMPARE(dialog.windowTitle(), QString("About KRV"));
        QCOMPARE(Text(&dialog, 1018), QString("Korvane (unofficial release)"));
        dialog.show();
        QCOMPARE(Text(&dialog, 1018), QString("Korvane Version 1.0 beta 4b (2nd February 2002)"));
        QCOMPARE(Text(&dialog, 1), QString("OK"));
    }

    void mainDialogControlsInOrder() {
        CKorvaneDlg dialog;
        const std::pair<int, const char*> texts[] = {
            {1006, "Modpack name :"},
            {1021, "Share Modpack :"},
            {1012, "Share GTI File"},
            {1009, "Alternate location of Modpack download (http address) :"},
            {1002, "Host"},
            {1008, "Join IP Address :"},
            {1001, "Join"},
            {57670, "Help..."},
            {1011, "Options..."},
            {1015, "About..."},
            {2, "Exit"}};
        for (auto [id, text] : texts)
            QCOMPARE(Text(&dialog, id), QString(text));
        QVERIFY(!Control<QPushButton>(&dialog, 57670)->isEnabled());
        QVERIFY(Control<QPlainTextEdit>(&dialog, 1020)->isReadOnly());
        QStringList labels;
        for (QLabel* label : dialog.findChildren<QLabel*>("-1"))
            labels << label->text();
        QVERIFY(labels.contains("Modpack comments :"));
        QVERIFY(labels.contains(QString(83, '_')));
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Korvane 1.0 beta 4b (2nd February 2002)"));
        // Tab order follows the original control order.
        QStringList chain;
        QWidget* w = Control<QWidget>(&dialog, 1000);
        do {
            bool numeric = false;
            w->objectName().toInt(&numeric);
            if (numeric && w->focusPolicy() != Qt::NoFocus)
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != Control<QWidget>(&dialog, 1000));
        QCOMPARE(chain.join(' '), QString("1000 1020 1012 1010 1002 1030 1001 57670 1011 1015 2"));
    }

    void mainDialogSortsTheListAndFollowsTheShareRules() {
        for (const char* name : {"b.gck", "A.gck", "Z.GCK", "broken.gck", "notes.txt"})
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
        auto* list = Control<QListWidget>(&dialog, 1000);
        QStringList entries;
        for (int i = 0; i < list->count(); ++i)
            entries << list->item(i)->text();
        QCOMPARE(entries, QStringList({"Do not install Modpack", "A", "b", "Z"}));
        auto* share = Control<QCheckBox>(&dialog, 1012);
        auto* alternate = Control<QLineEdit>(&dialog, 1010);
        auto* label = Control<QLabel>(&dialog, 1021);
        QCOMPARE(Text(&dialog, 1020),
                 QString("Will host a Giants:Citizen Kabuto game without installing a Modpack"));
        QVERIFY(!share->isEnabled() && !share->isChecked() && !alternate->isEnabled());

        list->setCurrentRow(1); // as a click would
        QCOMPARE(Text(&dialog, 1020), QString("comment of A.gck"));
        QVERIFY(share->isEnabled() && share->isChecked() && alternate->isEnabled());
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(!share->isChecked() && !alternate->isEnabled());
        QTest::mouseClick(share, Qt::LeftButton);
        QVERIFY(share->isChecked() && alternate->isEnabled());

        list->setCurrentRow(2);
        QVERIFY(!share->isEnabled() && !share->isChecked() && !alternate->isEnabled());
        QTest::mouseClick(label, Qt::LeftButton); // a disabled box is left alone
        QVERIFY(!share->isChecked());

        QCOMPARE(dialog.FindEntry("z"), 3);
        QCOMPARE(dialog.AppendEntry("new"), 4);
        dialog.SelectEntry(4); // appended by a join, no record yet
        QVERIFY(!share->isEnabled());
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
        for (const char* name : {"worldlist.bin", "KRVworldlist.bin", "Master.abx"})
            m_dir.WriteFile(std::string("own/") + name, "list");
        m_dir.WriteFile("game/bin/worldlist.bin", "list");
        WriteRegistry("[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"" + m_dir / "own" +
                      "\"\r\n\"AutoJoin\"=dword:00000001\r\n\"SecondsToJoin\"=dword:00000000\r\n"
                      "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n\"DestDir\"=\"" +
                      m_dir / "game" + "\"\r\n");
        QVERIFY(GetRegistryItems());
        static char name[] = "korvane";
        static char* argv[] = {name, nullptr};
        ui::SetProgramArguments(1, argv);

        CKorvaneDlg dialog;
        dialog.SetInfoReader([](const std::string&, CLevelInfo&) { return false; });
        dialog.LoadList();
        dialog.SelectEntry(0);
        dialog.OnHost();
        QCOMPARE(m_dir.ReadFile("game/args.txt").value_or(""), std::string("[-host]\n"));

        Control<QLineEdit>(&dialog, 1030)->setText("127.0.0.1:1"); // no host answers there
        dialog.OnJoin();
        QCOMPARE(m_dir.ReadFile("game/args.txt").value_or(""),
                 std::string("[-join]\n[127.0.0.1:1]\n"));
        QVERIFY(m_messages->Empty());

        Control<QLineEdit>(&dialog, 1030)->setText("1.2.3");
        dialog.OnJoin();
        QCOMPARE(m_messages->Last().text, std::string("Invalid IP address"));
        QCOMPARE(Text(&dialog, 1020),
                 QString("Will host a Giants:Citizen Kabuto game without installing a Modpack"));
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
