#pragma once

#include <QDialog>

class QLabel;

// "About Tamrix Control": the program's version line, a notice line and, on request (Alt+B), the build
// line "Build #%d, built on %s at %s".
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    // With the program's own product version.
    explicit CAboutDlg(QWidget* parent = nullptr);
    // An empty version leaves the version line empty.
    CAboutDlg(const QString& productVersion, QWidget* parent);

    void ShowBuild();

private:
    QLabel* m_buildLine = nullptr;
};
