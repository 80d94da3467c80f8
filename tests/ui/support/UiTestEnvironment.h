#pragma once

#include <QTemporaryDir>

// Gives a UI test program its own settings folder (XDG_CONFIG_HOME), so the port registry and the
// INI profile never touch the user's, and test programs running in parallel never share one.
class CUiTestEnvironment
{
public:
    CUiTestEnvironment();
    QString ConfigDir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
