#include "ui/dialogs/SelectPanelDlg.h"

#include "ui/panels/PanelTypes.h"

#include <QFont>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
QFont ChoiceFont()
{
    QFont font("Arial");
    font.setWeight(QFont::Bold);
    font.setPixelSize(20);
    return font;
}
} // namespace

CSelectPanelDlg::CSelectPanelDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName("selectPanelDialog");
    setWindowTitle("Select Panel Type");
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(16, 16, 16, 16);
    AddChoice("Add Laser Panel", "addLaserPanelButton", PanelType::Laser);
    AddChoice("Add TEC Panel", "addTecPanelButton", PanelType::TEC);
    AddChoice("Add Combo Panel", "addComboPanelButton", PanelType::Combo);
    AddChoice("Add M6x9 Panel", "addM6x9PanelButton", PanelType::M609);
    AddChoice("Add M6x8 Panel", "addM6x8PanelButton", PanelType::M6x8);
    layout->addSpacing(8);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancelButton");
    cancel->setFont(ChoiceFont());
    cancel->setMinimumHeight(40);
    layout->addWidget(cancel);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint());
}

void CSelectPanelDlg::AddChoice(const char* label, const char* objectName, int typeCode)
{
    auto* button = new QPushButton(label, this);
    button->setObjectName(objectName);
    button->setFont(ChoiceFont());
    button->setMinimumSize(260, 40);
    button->setAutoDefault(false);
    layout()->addWidget(button);
    connect(button, &QPushButton::clicked, this,
            [this, typeCode]
            {
                m_type = typeCode;
                accept();
            });
}
