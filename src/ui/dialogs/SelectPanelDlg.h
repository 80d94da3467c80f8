#pragma once

#include <QDialog>

// "Select Panel Type": one button per panel type a user may add.
class CSelectPanelDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSelectPanelDlg(QWidget* parent = nullptr);

    // The chosen panel type code; 0 until a button is pressed.
    int SelectedType() const { return m_type; }

private:
    void AddChoice(const char* label, const char* objectName, int typeCode);

    int m_type = 0;
};
