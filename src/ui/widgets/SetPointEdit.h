#pragma once

#include <QLineEdit>

// A set-point field of a channel block: painted light yellow while its text differs from the
// instrument's set point, so the user sees what "Set" would still send. The state is the "edited"
// property, which tests read as well.
class CSetPointEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit CSetPointEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

    void SetEdited(bool edited);
};
