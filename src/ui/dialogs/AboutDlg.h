#pragma once

#include <QDialog>

// The program's name, version 2.4.1 and "Build #%d, built on %s at %s".
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
