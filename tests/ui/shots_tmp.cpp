#include "FakePanelHost.h"
#include "ScriptedPrompter.h"
#include "UiTestEnvironment.h"
#include "SimInstrument.h"
#include "comm/PortResolver.h"
#include "diag/MemoryProfile.h"
#include "ui/panels/PanelFactory.h"
#include "ui/panels/BasePanel.h"
#include <QApplication>
#include <QSignalSpy>
#include <QPixmap>
#include <QTest>
const CUiTestEnvironment env;
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CMemoryProfile profile; CScriptedPrompter prompter; SUiContext ctx{profile, prompter}; CFakePanelHost host;
    struct { int type; const char* model; } list[] = {{5,"M609"},{7,"M607"},{6,"M618"},{4,"OEM"}};
    int port = 240;
    for (auto& e : list) {
        auto sim = CSimInstrument::Create(e.model); std::string err; sim->StartPty("", err);
        CPortResolver::Register(port, sim->PtyPath());
        CBasePanel* p = CreatePanel(e.type, ctx, host, 0, nullptr);
        p->show();
        QSignalSpy spy(p, &CBasePanel::connectFinished);
        p->Connect("COM:" + std::to_string(port++) + ":0"); spy.wait(20000);
        QTest::qWait(1500); p->OnWatchTick(); QTest::qWait(600); p->OnWatchTick();
        for (QWidget* w : p->findChildren<QWidget*>()) if (w->width() > 150 && w->objectName().size()) printf("   %s %s w=%d min=%d hint=%d\n", w->metaObject()->className(), w->objectName().toUtf8().constData(), w->width(), w->minimumSizeHint().width(), w->sizeHint().width());
        p->grab().save(QString("/tmp/shot_%1.png").arg(e.model));
        printf("%s %dx%d msgs=%lld\n", e.model, p->width(), p->height(), (long long)prompter.messages.size());
        for (auto& m : prompter.messages) printf("  %s\n", m.toUtf8().constData());
        p->Disconnect(); delete p;
    }
}
// dbg
