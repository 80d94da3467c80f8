#pragma once

#include "ui/panels/parts/LaserBlock.h"
#include "ui/panels/parts/TecBlock.h"

#include <QApplication>
#include <QLineEdit>
#include <QObject>
#include <QString>
#include <QTest>
#include <algorithm>

// Small steps of the UI tests, done as a user would.
namespace WidgetActions
{
// The named child; a missing one ends the test program, since every later step would be meaningless.
template <class T>
T* Child(QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(name);
    if (!child)
        qFatal("no child %s", name);
    return child;
}

// Types into a line edit, replacing its text, so that its edit signals fire.
inline void Type(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Waits until no channel block of the program has a request under way, and its answer is shown.
inline bool RequestsDone(int timeoutMs = 15000)
{
    return QTest::qWaitFor(
        []
        {
            const QWidgetList widgets = QApplication::allWidgets();
            return std::none_of(widgets.begin(), widgets.end(),
                                [](QWidget* widget)
                                {
                                    const auto* tec = qobject_cast<CTecBlock*>(widget);
                                    const auto* laser = qobject_cast<CLaserBlock*>(widget);
                                    return (tec && tec->IsBusy()) || (laser && laser->IsBusy());
                                });
        },
        timeoutMs);
}
} // namespace WidgetActions
