// Renders the host window with each panel type connected to a simulated unit, and every dialog the
// panels and the host open, to PNG files: what scripts/screenshots runs under Xvfb, so that people can
// look at the program as its users will. Message boxes go to a scripted prompter; modal dialogs are
// grabbed once they are up and then closed.
#include "ScriptedPrompter.h"
#include "SimPort.h"
#include "UiTestEnvironment.h"
#include "comm/Serial.h"
#include "diag/MemoryProfile.h"
#include "ui/app/TamrixControlHost.h"
#include "ui/dialogs/TCPIPAddressEditorDlg.h"
#include "ui/dialogs/Terminal.h"
#include "ui/panels/BasePanel.h"
#include "ui/panels/parts/TecBlock.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <QWizard>
#include <cstdio>
#include <functional>
#include <memory>

namespace
{
struct SPanelCase
{
    int type;
    const char* name;
    const char* model;
};

// One simulated model per panel type.
const SPanelCase PanelCases[] = {
    {1, "laser", "D312"}, {2, "tec", "K760"},  {3, "combo", "X510"}, {4, "oem", "OEM"},
    {5, "m609", "M609"},  {6, "m6x8", "M618"}, {7, "m607", "M607"},
};

// The dialogs a panel opens from its buttons, by the buttons' object names.
const char* const DialogButtons[] = {"tecSettingsButton", "autoTuneButton",      "laserSettingsButton",
                                     "qcwAdjustButton",   "comboSettingsButton", "sysSettingsButton"};

class CShooter
{
public:
    explicit CShooter(QString folder) : m_folder(std::move(folder)) {}

    void Save(QWidget* widget, const QString& name)
    {
        const QString file = m_folder + "/" + name + ".png";
        if (widget->grab().save(file))
            std::printf("%s\n", qPrintable(file));
        else
            std::fprintf(stderr, "screenshots: could not save %s\n", qPrintable(file));
    }

    // Runs open(), which shows a modal dialog, grabs the dialog (each wizard page in turn) and closes it.
    void SaveModal(const QString& name, const std::function<void()>& open)
    {
        QPointer<QTimer> watcher = new QTimer;
        watcher->setInterval(100);
        QObject::connect(watcher, &QTimer::timeout,
                         [this, watcher, name]
                         {
                             QWidget* dialog = QApplication::activeModalWidget();
                             if (!dialog || !dialog->isVisible())
                                 return;
                             // A page still reading from the unit is not the picture wanted.
                             const auto* reading = dialog->findChild<QWidget*>("readingLabel");
                             if ((reading && reading->isVisible()) || !dialog->isEnabled())
                                 return;
                             watcher->stop();
                             watcher->deleteLater();
                             QTimer::singleShot(400, dialog,
                                                [this, dialog, name] { SaveAndClose(dialog, name); });
                         });
        watcher->start();
        open();
        if (watcher && watcher->isActive())
        {
            // open() returned without a dialog coming up: the watcher must not take the next one.
            std::fprintf(stderr, "screenshots: %s opened no dialog\n", qPrintable(name));
            watcher->stop();
            watcher->deleteLater();
        }
    }

    static void Settle(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }

private:
    void SaveAndClose(QWidget* dialog, const QString& name)
    {
        if (auto* wizard = qobject_cast<QWizard*>(dialog))
        {
            int page = 1;
            Save(wizard, name + "-page" + QString::number(page));
            // The later pages need a started tune; the first two show what a user reads before it.
            wizard->next();
            Settle(300);
            Save(wizard, name + "-page" + QString::number(++page));
        }
        else
            Save(dialog, name);
        if (auto* modal = qobject_cast<QDialog*>(dialog))
            modal->reject();
        else
            dialog->close();
    }

    QString m_folder;
};

bool WaitConnected(CBasePanel* panel, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!panel->IsConnected() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return panel->IsConnected();
}

// Every output on (the state badges), then every TEC set point 15 degrees away (out of tolerance).
void ShootOutputsOn(CShooter& shooter, QWidget& host, CBasePanel& panel, const QString& base)
{
    for (auto* on : panel.findChildren<QAbstractButton*>("onButton"))
        if (on->isVisible() && on->isEnabled())
            on->click();
    CShooter::Settle(6000);
    shooter.Save(&host, base + "-outputs-on");
    for (auto* block : panel.findChildren<CTecBlock*>())
    {
        auto* field = block->findChild<QLineEdit*>("setPointEdit");
        if (!block->isVisible() || !field || field->isReadOnly())
            continue;
        field->setText(QString::number(block->CachedSetPoint() + 15.0f));
        block->OnSetPoint();
    }
    CShooter::Settle(2500);
    shooter.Save(&host, base + "-out-of-tolerance");
}

// The panel's trend after its outputs went on and its set points moved: T rising towards the new set
// point beside the laser's quantities. Some further readings are checked on a multi-channel panel.
void ShootTrend(CShooter& shooter, CBasePanel& panel, const QString& base, const QStringList& extra)
{
    auto* button = panel.findChild<QAbstractButton*>("trendButton");
    auto* window = panel.findChild<QWidget*>("trendWindow");
    if (!button || !window)
        return;
    if (auto* list = window->findChild<QListWidget*>("trendSeriesList"))
        for (int row = 0; row < list->count(); ++row)
            if (extra.contains(list->item(row)->text()))
                list->item(row)->setCheckState(Qt::Checked);
    button->click();
    CShooter::Settle(1500);
    shooter.Save(window, base + "-trend");
    window->close();
}

void ShootPanel(CShooter& shooter, const SPanelCase& c, int portNumber)
{
    CMemoryProfile profile;
    CScriptedPrompter prompter;
    profile.WriteString("Settings", "Panels", std::to_string(c.type));
    CTamrixControlHost host(SUiContext{profile, prompter});
    host.RestorePanels();
    if (host.PanelCount() == 0)
        return; // no panel of this type yet
    host.show();
    CBasePanel* panel = host.PanelAt(0);
    const QString base = QString("panel-%1-%2").arg(c.type).arg(c.name);
    shooter.Save(&host, base + "-disconnected");
    auto unit = SSimPort::OnPty(c.model, portNumber);
    if (!unit)
    {
        std::fprintf(stderr, "screenshots: no simulated %s\n", c.model);
        return;
    }
    panel->FillPortList(unit->descriptor);
    panel->Connect(unit->descriptor);
    if (!WaitConnected(panel, 20000))
    {
        std::fprintf(stderr, "screenshots: the %s panel did not connect to a %s: %s\n", c.name, c.model,
                     qPrintable(prompter.messages.join(" | ")));
        return;
    }
    // A few refreshes, so the readings and the error log have settled.
    CShooter::Settle(2500);
    shooter.Save(&host, base);
    for (const char* button : DialogButtons)
    {
        auto* control = panel->findChild<QAbstractButton*>(button);
        if (!control || !control->isVisible() || !control->isEnabled())
            continue;
        shooter.SaveModal(base + "-" + button, [control] { control->click(); });
    }
    ShootOutputsOn(shooter, host, *panel, base);
    ShootTrend(
        shooter, *panel, base,
        {"TEC 1 T set point [\u00b0C]", "TEC 1 ITE [A]", "TEC 2 T set point [\u00b0C]", "TEC ITE [A]"});
    for (const QString& message : prompter.messages)
        std::fprintf(stderr, "screenshots: the %s panel said: %s\n", c.name, qPrintable(message));
    if (auto* showLog = panel->findChild<QAbstractButton*>("showLogButton"))
    {
        showLog->click();
        CShooter::Settle(300);
        if (auto* log = panel->findChild<QWidget*>("errorLogDialog"))
            shooter.Save(log, base + "-errorLog");
    }
    host.Quit(false);
}

void ShootHostDialogs(CShooter& shooter)
{
    CMemoryProfile profile;
    CScriptedPrompter prompter;
    profile.WriteString("IPAddresses", "IPAddress1", "192.168.1.40");
    profile.WriteInt("IPAddresses", "IPPort1", 10001);
    profile.WriteString("IPAddresses", "IPName1", "Lab 2 TEC");
    profile.WriteString("IPAddresses", "IPAddress2", "bench-laser.local");
    profile.WriteInt("IPAddresses", "IPPort2", 10001);
    profile.WriteString("IPAddresses", "IPName2", "Pump laser");
    profile.WriteString("Settings", "Panels", "2,1,3");
    profile.WriteInt("Panel1-1", "Condensed", 1);
    CTamrixControlHost host(SUiContext{profile, prompter});
    host.RestorePanels();
    host.show();
    CShooter::Settle(300);
    shooter.Save(&host, "host-three-panels");
    // Made narrower by the user: the panels wrap into a second row.
    const QWidget* second = host.PanelAt(1);
    host.resize(second->geometry().right() + 200, 2 * host.height());
    CShooter::Settle(300);
    shooter.Save(&host, "host-wrapped");
    for (const char* button : {"addPanelButton", "aboutButton"})
        if (auto* control = host.findChild<QAbstractButton*>(button))
            shooter.SaveModal(QString("host-") + button, [control] { control->click(); });
    CTCPIPAddressEditorDlg editor(SUiContext{profile, prompter}, &host);
    editor.SetOfferConnect(true);
    shooter.SaveModal("address-editor", [&editor] { editor.exec(); });
}
// The terminal after a short exchange with a simulated unit, and its command-button editor.
void ShootTerminal(CShooter& shooter, int portNumber)
{
    CMemoryProfile profile;
    CScriptedPrompter prompter;
    profile.WriteString("Settings", "Command1", "*IDN?");
    profile.WriteString("Settings", "Command2", "LAS:LDI?");
    profile.WriteString("Settings", "Command3", "TEC:T?");
    auto unit = SSimPort::OnPty("X510", portNumber);
    CSerial port;
    if (!unit || !port.OpenDescriptor(unit->descriptor))
    {
        std::fprintf(stderr, "screenshots: no port for the terminal\n");
        return;
    }
    CTerminal terminal(SUiContext{profile, prompter}, [&port] { return &port; });
    terminal.show();
    auto* command = terminal.findChild<QLineEdit*>("commandEdit");
    for (const char* line : {"*IDN?", "TEC:T?"})
    {
        command->setText(line);
        terminal.SendCommandLine();
        CShooter::Settle(500);
    }
    shooter.Save(&terminal, "terminal");
    shooter.SaveModal("terminal-commands", [&terminal] { terminal.EditCommands(); });
}
} // namespace

int main(int argc, char** argv)
{
    CUiTestEnvironment environment;
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath() + "/screenshots";
    QDir().mkpath(folder);
    CShooter shooter(folder);
    ShootHostDialogs(shooter);
    ShootTerminal(shooter, 239);
    int port = 240;
    for (const SPanelCase& c : PanelCases)
        ShootPanel(shooter, c, port++);
    return 0;
}
