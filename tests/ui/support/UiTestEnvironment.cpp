#include "UiTestEnvironment.h"

#include <QtGlobal>

CUiTestEnvironment::CUiTestEnvironment()
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
    qputenv("XDG_STATE_HOME", m_dir.path().toLocal8Bit());
}
