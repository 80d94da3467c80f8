// The address editor and entry dialogs over a real settings store, and the error log over an
// instrument's error list.
#include "ScriptedPrompter.h"
#include "UiTestEnvironment.h"
#include "diag/IniProfile.h"
#include "instrument/session/InstrBase.h"
#include "ui/common/NetworkAddresses.h"
#include "ui/dialogs/ErrorLogDlg.h"
#include "ui/dialogs/TCPIPAddressEditorDlg.h"
#include "ui/dialogs/TCPIPConnect.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

static CUiTestEnvironment environment;

namespace
{
const char* const Ip = "IPAddresses";

void StoreEntry(CProfile& profile, int number, const std::string& address, int port, const std::string& name)
{
    const std::string n = std::to_string(number);
    profile.WriteString(Ip, "IPAddress" + n, address);
    profile.WriteInt(Ip, "IPPort" + n, port);
    profile.WriteString(Ip, "IPName" + n, name);
}

QStringList Lines(const CTCPIPAddressEditorDlg& editor)
{
    QStringList lines;
    const auto* list = editor.findChild<QListWidget*>("addressList");
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

void Click(const QObject& dialog, const char* button)
{
    dialog.findChild<QPushButton*>(button)->click();
}

void Fill(CTCPIPConnect& dialog, const QString& address, const QString& port, const QString& name)
{
    dialog.findChild<QLineEdit*>("ipAddressEdit")->setText(address);
    dialog.findChild<QLineEdit*>("portEdit")->setText(port);
    dialog.findChild<QLineEdit*>("nameEdit")->setText(name);
}
} // namespace

class AddressAndLogDialogsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CIniProfile> m_profile;
    CScriptedPrompter m_prompter;
    SUiContext Context() { return {*m_profile, m_prompter}; }

private slots:
    void init()
    {
        m_profile = std::make_unique<CIniProfile>(
            QDir(environment.ConfigDir()).filePath(QTest::currentTestFunction()).toStdString() + ".ini");
        m_prompter.Reset();
    }

    void editorDeletesAddsAndWritesBackWithoutGaps()
    {
        StoreEntry(*m_profile, 1, "10.0.0.5", 10001, "bench A");
        StoreEntry(*m_profile, 2, "lab-tec", 80, "oven");
        StoreEntry(*m_profile, 3, "10.0.0.7", 10001, "");
        // After a gap: not part of the list.
        StoreEntry(*m_profile, 5, "10.0.0.9", 10001, "orphan");

        CTCPIPAddressEditorDlg editor(Context());
        QCOMPARE(Lines(editor),
                 QStringList({"10.0.0.5:10001 bench A", "lab-tec:80    oven", "10.0.0.7:10001 "}));
        auto* list = editor.findChild<QListWidget*>("addressList");
        QCOMPARE(list->currentRow(), 0);

        // The middle line goes; the one after it takes its place and is selected.
        list->setCurrentRow(1);
        Click(editor, "deleteButton");
        QCOMPARE(list->currentRow(), 1);
        QCOMPARE(list->currentItem()->text(), QString("10.0.0.7:10001 "));
        // The last line goes; the new last line is selected.
        Click(editor, "deleteButton");
        QCOMPARE(list->currentRow(), 0);
        QVERIFY(editor.ListChanged());

        editor.SetEntryRunner(
            [](CTCPIPConnect& entry)
            {
                Fill(entry, "192.168.1.20", "5025", " rack 2 ");
                entry.accept();
                return entry.result() == QDialog::Accepted;
            });
        Click(editor, "newButton");
        QCOMPARE(Lines(editor), QStringList({"10.0.0.5:10001 bench A", "192.168.1.20:5025 rack 2"}));
        QCOMPARE(list->currentRow(), 1);
        // Nothing is written before "Close".
        QCOMPARE(m_profile->GetString(Ip, "IPAddress2"), std::string("lab-tec"));

        Click(editor, "closeButton");
        QCOMPARE(editor.result(), int(QDialog::Accepted));
        const std::vector<SNetworkAddress> stored = NetworkAddresses::Read(*m_profile);
        QCOMPARE(stored.size(), size_t(2));
        QCOMPARE(stored[1].address, std::string("192.168.1.20"));
        QCOMPARE(stored[1].port, 5025);
        QCOMPARE(stored[1].name, std::string("rack 2"));
        for (const char* key : {"IPAddress3", "IPPort3", "IPName3"})
            QCOMPARE(m_profile->GetString(Ip, key, "deleted"), std::string("deleted"));
        // The entry dialog keeps the address it took as the last one used.
        QCOMPARE(m_profile->GetString("Settings", "IPAddress"), std::string("192.168.1.20"));
        QCOMPARE(m_profile->GetInt("Settings", "IPPort"), 5025);
    }

    void deletingTheOnlyEntryRemovesItsValues()
    {
        StoreEntry(*m_profile, 1, "10.0.0.5", 10001, "only");
        CTCPIPAddressEditorDlg editor(Context());
        Click(editor, "deleteButton");
        QVERIFY(Lines(editor).isEmpty());
        editor.reject(); // Escape and the close box write back as "Close" does
        for (const char* key : {"IPAddress1", "IPPort1", "IPName1"})
            QCOMPARE(m_profile->GetString(Ip, key, "deleted"), std::string("deleted"));
    }

    void connectWritesBackAndGivesTheDescriptor()
    {
        StoreEntry(*m_profile, 1, "10.0.0.5", 10001, "bench A");
        StoreEntry(*m_profile, 2, "lab-tec", 80, "oven");
        CTCPIPAddressEditorDlg editor(Context());
        editor.SetOfferConnect(true);
        editor.show();
        QVERIFY(editor.findChild<QPushButton*>("connectButton")->isVisible());
        auto* list = editor.findChild<QListWidget*>("addressList");
        Click(editor, "deleteButton");

        // With no line selected the list is written back and the dialog stays.
        list->setCurrentRow(-1);
        Click(editor, "connectButton");
        QVERIFY(editor.isVisible());
        QCOMPARE(m_profile->GetString(Ip, "IPAddress1"), std::string("lab-tec"));
        QCOMPARE(m_profile->GetString(Ip, "IPAddress2", "deleted"), std::string("deleted"));

        list->setCurrentRow(0);
        emit list->itemDoubleClicked(list->item(0));
        QCOMPARE(editor.result(), CTCPIPAddressEditorDlg::ConnectResult);
        QCOMPARE(editor.Descriptor(), std::string("TCP:lab-tec:80 oven"));
        QVERIFY(editor.ListChanged());
    }

    void entryDialogRefusesBadFields_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focused");
        QTest::newRow("port above 65535") << "10.0.0.5"
                                          << "70000"
                                          << "Enter an integer between 1 and 65535."
                                          << "portEdit";
        QTest::newRow("negative port") << "10.0.0.5"
                                       << "-1"
                                       << "Enter an integer between 1 and 65535."
                                       << "portEdit";
        QTest::newRow("port 0") << "10.0.0.5"
                                << "0"
                                << "Enter an integer between 1 and 65535."
                                << "portEdit";
        QTest::newRow("part above 255")
            << "192.168.1.256"
            << "80"
            << "\"192.168.1.256\" is not an IP address: enter four numbers from 0 to "
               "255 separated by dots, without leading zeros (for example "
               "192.168.1.40)."
            << "ipAddressEdit";
        QTest::newRow("three parts") << "10.0.5"
                                     << "80"
                                     << "\"10.0.5\" is not an IP address: enter four numbers from 0 to 255 "
                                        "separated by dots, without leading zeros (for example 192.168.1.40)."
                                     << "ipAddressEdit";
        QTest::newRow("underscore in name")
            << "lab_tec"
            << "80"
            << "\"lab_tec\" is not a host name: use letters, digits and hyphens "
               "in parts separated by dots; a part cannot begin or end with a "
               "hyphen."
            << "ipAddressEdit";
        QTest::newRow("IPv6")
            << "fe80::1"
            << "80"
            << "The IP address cannot contain \":\" or blanks. IPv6 addresses cannot be stored; "
               "enter the instrument's host name or IPv4 address."
            << "ipAddressEdit";
        QTest::newRow("port not a number") << "10.0.0.5"
                                           << "10a"
                                           << "Enter an integer."
                                           << "portEdit";
        QTest::newRow("colon in address")
            << "10.0.0.5:80"
            << "80"
            << "The IP address cannot contain \":\" or blanks. Enter the TCP port "
               "in the Port field."
            << "ipAddressEdit";
        QTest::newRow("blank in address") << "lab tec"
                                          << "80"
                                          << "The IP address cannot contain \":\" or blanks."
                                          << "ipAddressEdit";
        QTest::newRow("empty address") << ""
                                       << "80"
                                       << "Enter the instrument's IP address or host name."
                                       << "ipAddressEdit";
    }

    void entryDialogRefusesBadFields()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(QString, message);
        QFETCH(QString, focused);
        CTCPIPConnect dialog(Context());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Fill(dialog, address, port, "x");
        Click(dialog, "okButton");
        QCOMPARE(m_prompter.messages, QStringList{message});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(QApplication::focusWidget()->objectName(), focused);
        QCOMPARE(m_profile->GetString("Settings", "IPAddress", "unset"), std::string("unset"));
    }

    void newEntryIsTypedOverTheLastAddress()
    {
        m_profile->WriteString("Settings", "IPAddress", "last.example");
        m_profile->WriteInt("Settings", "IPPort", 5025);
        CTCPIPAddressEditorDlg editor(Context());
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QString typedInto;
        editor.SetEntryRunner(
            [&typedInto](CTCPIPConnect& entry)
            {
                entry.show();
                if (!QTest::qWaitForWindowExposed(&entry))
                    return false;
                // The widget that has the keyboard once the dialog is the active window.
                QWidget* focused = entry.focusWidget();
                typedInto = focused ? focused->objectName() : QString();
                QTest::keyClicks(focused, "bench-7");
                QTest::keyClick(focused, Qt::Key_Return);
                return entry.result() == QDialog::Accepted;
            });
        QTest::mouseClick(editor.findChild<QPushButton*>("newButton"), Qt::LeftButton);
        QCOMPARE(typedInto, QString("ipAddressEdit"));
        QVERIFY2(m_prompter.messages.isEmpty(), qPrintable(m_prompter.messages.join('|')));
        QCOMPARE(Lines(editor), QStringList({"bench-7:5025 "}));
    }

    void entryDialogTakesTheEdges()
    {
        m_profile->WriteString("Settings", "IPAddress", "last.example");
        CTCPIPConnect dialog(Context());
        QCOMPARE(dialog.windowTitle(), QString("TCP/IP Address"));
        QCOMPARE(dialog.findChild<QLineEdit*>("ipAddressEdit")->text(), QString("last.example"));
        QCOMPARE(dialog.findChild<QLineEdit*>("portEdit")->text(), QString("10001"));
        const QString longest(CTCPIPConnect::MaxAddressChars, 'a');
        Fill(dialog, longest + "b", "65535", "");
        QCOMPARE(dialog.findChild<QLineEdit*>("ipAddressEdit")->text(), longest);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(m_prompter.messages.isEmpty());
        QCOMPARE(dialog.Entry().port, 65535);
        QCOMPARE(dialog.Entry().address, longest.toStdString());
    }

    void errorLogTakesEachErrorOnceNewestFirst()
    {
        CInstrBase instrument;
        CInstrBase* source = nullptr;
        CErrorLogDlg log(
            m_prompter, [&] { return source; }, nullptr);
        QPushButton toggle("Hide\nLog");
        log.SetToggleButton(&toggle);

        instrument.AddErrorsFromReply("0,401,402,403", 0);
        log.CollectErrors(); // no source yet: the errors wait
        QCOMPARE(log.LineCount(), 0);

        source = &instrument;
        log.CollectErrors();
        QCOMPARE(log.LineCount(), 3);
        QCOMPARE(m_prompter.beeps, 3);
        QCOMPARE(instrument.GetErrorCount(), 0);
        const auto* list = log.findChild<QListWidget*>("errorList");
        const QString time = CErrorLogDlg::FormatLocalTime(log.MostRecentTime(), "%x %X");
        QVERIFY(!time.isEmpty());
        QCOMPARE(list->item(0)->text(),
                 QString("%1: Err 403 - %2").arg(time, QString::fromStdString(instrument.GetErrorText(403))));
        QVERIFY(list->item(1)->text().contains(": Err 402 - "));
        QVERIFY(list->item(2)->text().contains(": Err 401 - "));
        QCOMPARE(log.MostRecentText(), QString::fromStdString(instrument.GetErrorText(403)));

        // Shown once: a later pass adds only what arrived since.
        instrument.AddErrorsFromReply("123", 0);
        log.CollectErrors();
        QCOMPARE(log.LineCount(), 4);
        QCOMPARE(m_prompter.beeps, 4);
        QVERIFY(list->item(0)->text().contains(": Err 123 - "));

        log.show();
        log.reject(); // "Hide", Escape and the close box
        QVERIFY(!log.isVisible());
        QCOMPARE(toggle.text(), QString("Show\nLog"));
        instrument.AddErrorsFromReply("201", 0);
        log.CollectErrors();
        QCOMPARE(log.LineCount(), 5);

        Click(log, "clearButton");
        QCOMPARE(log.LineCount(), 0);
    }
};

QTEST_MAIN(AddressAndLogDialogsTest)
#include "address_and_log_dialogs_test.moc"
