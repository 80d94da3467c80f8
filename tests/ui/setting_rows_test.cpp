// The settings pages' descriptions and the pieces built from them, without an instrument: what a field
// shows and sends back, what it refuses, the output-off boxes, and whether the two descriptions hold
// together (names, groups, write order).
#include "ScriptedPrompter.h"
#include "UiTestEnvironment.h"
#include "instrument/tec/TEC.h"
#include "ui/dialogs/LaserSettingRows.h"
#include "ui/dialogs/SettingFields.h"
#include "ui/dialogs/TecSettingRows.h"
#include "ui/widgets/OutputOffBoxes.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>
#include <set>

namespace
{
CUiTestEnvironment environment;

struct SUnit
{
};

// Every row has its own object name; the fields of one shared command go out in one write-order group
// and are taken away by one key.
template <class Unit>
QString Inconsistency(const std::vector<SSettingRow<Unit>>& rows,
                      const std::vector<SSettingGroup<Unit>>& groups)
{
    std::set<QString> names;
    for (const SSettingRow<Unit>& row : rows)
        if (!names.insert(row.name).second || QString(row.name).isEmpty())
            return QString("name %1").arg(row.name);
    for (const SSettingGroup<Unit>& group : groups)
        for (size_t k : group.fields)
        {
            const SSettingRow<Unit>& first = rows[group.fields.front()];
            if (rows[k].group != first.group || rows[k].hiddenBy != first.hiddenBy || rows[k].set)
                return QString("group of %1").arg(rows[k].name);
        }
    return {};
}
} // namespace

class CSettingRowsTest : public QObject
{
    Q_OBJECT

private slots:
    void DescriptionsHoldTogether()
    {
        QCOMPARE(TecSettingRows::Rows().size(), size_t(TecSettingRows::FieldCount));
        QCOMPARE(Inconsistency(TecSettingRows::Rows(), TecSettingRows::Groups()), QString());
        QCOMPARE(LaserSettingRows::Rows().size(), size_t(LaserSettingRows::FieldCount));
        QCOMPARE(Inconsistency(LaserSettingRows::Rows(), LaserSettingRows::Groups()), QString());
        // The limit pairs are sent low row, then the row after it.
        for (size_t low : {TecSettingRows::TLow, TecSettingRows::RLow})
        {
            const auto& rows = TecSettingRows::Rows();
            QVERIFY(rows[low].get && rows[low].set && rows[low + 1].set);
            QCOMPARE(rows[low].group, rows[low + 1].group);
        }
    }

    // The laser page's writes go out in the order that keeps the unit's limits consistent: the photodiode
    // response before the power limit it scales, the tolerance pair after the limits, the delay last.
    void LaserWriteOrderFollowsTheGroups()
    {
        using namespace LaserSettingRows;
        const std::vector<size_t> expected = {PdResponse, LdiLimit, MdiLimit, MdpLimit, LdvLimit,
                                              CableR,     PdBias,   TolTime,  TolIo,    OnDelay};
        QCOMPARE(WriteOrder(), expected);
    }

    void FieldShowsScaledValuesAndSendsTheUnitsOwn()
    {
        std::vector<SSettingRow<SUnit>> rows(3);
        rows[0] = SSettingRow<SUnit>("constEdit", "C:", "x10<sup>-7</sup>", 0, 0)
                      .Shows(EShown::Constant)
                      .Scaled(1e7);
        rows[1] =
            SSettingRow<SUnit>("voltsEdit", "Voltage:", "V", 0, 0).Accepts(4.5, 12.0).Shows(EShown::Fixed, 1);
        rows[2] =
            SSettingRow<SUnit>("delayEdit", "Delay:", "min", 0, 0).Accepts(1, 60).Shows(EShown::Integer);
        QWidget box;
        auto* grid = new QGridLayout(&box);
        CSettingFields fields(rows, CSettingFields::ELayout::Compact);
        for (size_t k = 0; k < rows.size(); ++k)
            fields.Place(k, grid, static_cast<int>(k), &box);
        QCOMPARE(fields.Widgets(0).size(), size_t(3));
        QCOMPARE(qobject_cast<QLabel*>(fields.Widgets(1).front())->buddy(), fields.Edit(1));

        fields.Show(0, 9e-8);
        QCOMPARE(fields.Edit(0)->text(), QString("0.9"));
        QVERIFY(!fields.Modified(0) && !fields.Differs(0));
        QVERIFY(qAbs(fields.Value(0) - 9e-8) < 1e-15);
        // The unit's "no value" and an unread value show blank.
        fields.Show(1, CTEC::NoValue);
        QCOMPARE(fields.Edit(1)->text(), QString());
        fields.Show(1, 6.0);
        QCOMPARE(fields.Edit(1)->text(), QString("6.0"));

        // Typed: modified and different; unchanged text falls back to the value read.
        QCOMPARE(fields.Entered(1), 6.0);
        fields.Edit(1)->selectAll();
        QTest::keyClicks(fields.Edit(1), "13");
        QVERIFY(fields.Modified(1) && fields.Differs(1));
        QCOMPARE(fields.Entered(1), 13.0);
        QVERIFY(fields.AnyModified({0, 1}));

        CScriptedPrompter prompter;
        QVERIFY(!fields.Check(1, prompter));
        QCOMPARE(prompter.messages.last(), QString("Enter a number between 4.5 and 12 V."));
        QVERIFY(fields.Check(1, prompter, 0.0, 20.0));
        fields.Edit(2)->setText("1.5");
        QVERIFY(!fields.Check(2, prompter));
        QCOMPARE(prompter.messages.last(), QString("Enter an integer."));

        // Sent: what went out is what was read; OK again sends nothing.
        fields.TakenLater({1})();
        QVERIFY(!fields.Modified(1) && !fields.Differs(1));
        QCOMPARE(fields.Read(1), 13.0);
        // A disabled field never counts as changed.
        fields.Edit(1)->setText("7");
        fields.Edit(1)->setEnabled(false);
        QVERIFY(!fields.Differs(1));
    }

    void GroupLeavesValuesAloneWhenTheUnitGivesNone()
    {
        SSettingGroup<SUnit> group;
        group.fields = {2, 0};
        bool answers = false;
        group.get = [&answers](SUnit&, std::vector<float>& v)
        {
            v = {1.5f, 2.5f};
            return answers;
        };
        SUnit unit;
        std::vector<std::optional<double>> values(3);
        group.Read(unit, values);
        QVERIFY(!values[0] && !values[2]);
        answers = true;
        group.Read(unit, values);
        QCOMPARE(*values[2], 1.5);
        QCOMPARE(*values[0], 2.5);
        QVERIFY(!values[1]);
    }

    void OutputOffBoxesKeepTheBitsWithoutABox()
    {
        COutputOffBoxes boxes(
            {{"Current Limit", "currentLimitCheck", 0x1}, {"TEC Off", "tecOffCheck", 0x400}}, 1);
        boxes.Show(0x1 | 0x2 | 0x8000);
        QVERIFY(boxes.Box(0x1)->isChecked() && !boxes.Box(0x400)->isChecked());
        QVERIFY(!boxes.Changed());
        boxes.Box(0x1)->setChecked(false);
        boxes.Box(0x400)->setChecked(true);
        QCOMPARE(boxes.Mask(), 0x2 | 0x400 | 0x8000);
        QVERIFY(boxes.Changed());
        boxes.Taken(boxes.Mask());
        QVERIFY(!boxes.Changed());
        QCOMPARE(boxes.Box(0x2), nullptr);
    }
};

QTEST_MAIN(CSettingRowsTest)
#include "setting_rows_test.moc"
