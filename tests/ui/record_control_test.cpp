// "Record..." on its own, fed by a channel that never connected (every reading "---"): what it shows
// while it records and what it says when the file did not reach the disk whole.
#include "RecordedFile.h"
#include "ScriptedPrompter.h"
#include "UiTestEnvironment.h"
#include "diag/MemoryProfile.h"
#include "instrument/tec/TEC.h"
#include "ui/common/UiContext.h"
#include "ui/widgets/RecordControl.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
CUiTestEnvironment environment;
} // namespace

class CRecordControlTest : public QObject
{
    Q_OBJECT

private:
    CMemoryProfile m_profile;
    CScriptedPrompter m_prompter;
    SUiContext m_context{m_profile, m_prompter};

    static QString Status(CRecordControl& control)
    {
        return control.findChild<QLabel*>("recordStatus")->text();
    }
    static QPushButton* Button(CRecordControl& control)
    {
        return control.findChild<QPushButton*>("recordButton");
    }

private slots:
    void init() { m_prompter.Reset(); }

    void rowsAreCountedAndAStopThatLosesTheFileIsSaid()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("stop.csv");
        CRecordControl control(m_context);
        control.SetSource(
            [] {
                return SReadingLogSource{"Tamrix Control test", "K910", "42", "1.0", "COM7"};
            });
        control.UpdateControls(true);
        CTEC tec;
        QVERIFY(control.Start(path));
        QCOMPARE(Status(control), QString("stop.csv: 0 rows, 0:00:00"));
        control.Record(tec);
        QCOMPARE(Status(control), QString("stop.csv: 1 row, 0:00:00"));
        control.Record(tec);
        QCOMPARE(Status(control), QString("stop.csv: 2 rows, 0:00:00"));
        const SRecordedFile file = SRecordedFile::Read(path);
        QCOMPARE(file.Header("serial number"), QString("42"));
        QCOMPARE(file.rows.size(), 2);
        // A channel that never answered: nothing in the row is vouched for, not even which set point.
        QCOMPARE(file.Field(file.rows[0], "TEC T set [°C]"), QString("---"));
        QCOMPARE(file.Field(file.rows[0], "TEC mode"), QString("---"));

        // Removed before the stop: the sync on stop finds it gone and says so.
        QVERIFY(QFile::remove(path));
        control.Stop();
        QVERIFY(!control.IsRecording());
        QCOMPARE(
            m_prompter.messages,
            QStringList{QString("Recording stopped: could not write %1: the file was removed while it was "
                                "written")
                            .arg(QDir::toNativeSeparators(path))});
        QCOMPARE(Button(control)->text(), QString("Record..."));
        QVERIFY(Button(control)->isEnabled());

        // A tick while not recording writes nothing and says nothing.
        control.Record(tec);
        control.RecordIdle(&tec);
        QCOMPARE(m_prompter.messages.size(), 1);
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(CRecordControlTest)
#include "record_control_test.moc"
