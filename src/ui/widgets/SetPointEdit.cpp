#include "ui/widgets/SetPointEdit.h"

void CSetPointEdit::SetEdited(bool edited)
{
    if (property("edited").toBool() == edited)
        return;
    setProperty("edited", edited);
    setStyleSheet(edited ? "background-color: rgb(255, 255, 192);" : QString());
}
