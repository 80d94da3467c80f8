#pragma once

#include <QIcon>

// The program's icon from its resources (window icon, about box).
QIcon ProgramIcon();
