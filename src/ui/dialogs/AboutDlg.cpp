#include "ui/dialogs/AboutDlg.h"

#include "diag/Version.h"
#include "ui/common/ProgramIcon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : CAboutDlg(QString::fromLatin1(kProductVersion), parent) {}

CAboutDlg::CAboutDlg(const QString& productVersion, QWidget* parent) : QDialog(parent)
{
    setObjectName("aboutDialog");
    setWindowTitle("About Tamrix Control");

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    // Without an icon (no SVG support installed) the lines take its place rather than leave a gap.
    icon->setVisible(!icon->pixmap().isNull());
    auto* version =
        new QLabel(productVersion.isEmpty() ? QString() : "Tamrix Control, Version " + productVersion, this);
    version->setObjectName("versionLine");
    auto* notice = new QLabel("Copyright (C) Tamrix Instruments. All rights reserved.", this);
    notice->setObjectName("noticeLine");
    m_buildLine = new QLabel(
        QString("Build #%1, built on %2 at %3").arg(kBuildNumber).arg(kBuildDate, kBuildTime), this);
    m_buildLine->setObjectName("buildLine");
    m_buildLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Keeps its room while hidden, so showing it does not resize the box.
    QSizePolicy keepRoom = m_buildLine->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_buildLine->setSizePolicy(keepRoom);
    m_buildLine->hide();

    // The "&Build" button stays hidden; its shortcut is what shows the build line.
    auto* build = new QPushButton("&Build", this);
    build->setObjectName("buildButton");
    build->hide();
    connect(build, &QPushButton::clicked, this, &CAboutDlg::ShowBuild);
    connect(new QShortcut(QKeySequence("Alt+B"), this), &QShortcut::activated, this, &CAboutDlg::ShowBuild);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* lines = new QVBoxLayout;
    lines->setSpacing(6);
    lines->addWidget(version);
    lines->addWidget(notice);
    lines->addWidget(m_buildLine);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(lines, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 12);
    layout->setSpacing(14);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

void CAboutDlg::ShowBuild()
{
    m_buildLine->show();
}
