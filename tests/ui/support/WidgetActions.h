#pragma once

#include <QLineEdit>
#include <QObject>
#include <QString>
#include <QTest>

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
} // namespace WidgetActions
