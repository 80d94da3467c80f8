#include "ui/common/ProgramIcon.h"

// Outside any namespace, as the resource initialiser it declares must be.
QIcon ProgramIcon()
{
    // The resources live in a static library: without this call the linker may leave them out.
    Q_INIT_RESOURCE(tamrix);
    return QIcon(":/tamrix-control.svg");
}
