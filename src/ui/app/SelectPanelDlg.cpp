#include "ui/app/SelectPanelDlg.h"

#include "ui/common/NetworkAddresses.h"
#include "ui/common/PortChoices.h"
#include "ui/panels/PanelTypes.h"

#include <QComboBox>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
QFont ChoiceFont(int pixelSize)
{
    QFont font("Arial");
    font.setWeight(QFont::Bold);
    font.setPixelSize(pixelSize);
    return font;
}
} // namespace

CSelectPanelDlg::CSelectPanelDlg(std::vector<SPortChoice> ports, QWidget* parent)
    : QDialog(parent), m_ports(std::move(ports))
{
    setObjectName("selectPanelDialog");
    setWindowTitle("Select Panel Type");
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(BuildDetectRow());
    auto* typeGroup = new QGroupBox("Or add the panel of a type", this);
    m_typeChoices = new QVBoxLayout(typeGroup);
    layout->addWidget(typeGroup);
    for (const PanelType::SKind& kind : PanelType::Kinds())
        if (kind.choiceKind)
            AddChoice(kind);
    layout->addSpacing(8);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("cancelButton");
    cancel->setFont(ChoiceFont(20));
    cancel->setMinimumHeight(40);
    cancel->setAutoDefault(false);
    layout->addWidget(cancel);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint());
}

std::vector<CSelectPanelDlg::SPortChoice> CSelectPanelDlg::PresentPorts(const CProfile& profile)
{
    std::vector<SPortChoice> choices;
    for (const SSerialChoice& port : PortChoices::SerialPorts())
        if (port.present)
            choices.push_back({PortChoices::Text(port), "COM:" + std::to_string(port.number) + ":0"});
    for (const SNetworkAddress& entry : NetworkAddresses::Read(profile))
        choices.push_back({NetworkAddresses::ListText(entry, false), NetworkAddresses::Descriptor(entry)});
    return choices;
}

QWidget* CSelectPanelDlg::BuildDetectRow()
{
    auto* group = new QGroupBox("Not sure which panel the instrument needs?", this);
    m_detectButton = new QPushButton("Detect the instrument...", group);
    m_detectButton->setObjectName("detectButton");
    m_detectButton->setFont(ChoiceFont(20));
    m_detectButton->setMinimumHeight(40);
    m_detectButton->setAutoDefault(false);
    m_portList = new QComboBox(group);
    m_portList->setObjectName("detectPortList");
    for (const SPortChoice& port : m_ports)
        m_portList->addItem(port.label);
    if (m_ports.empty())
        m_portList->addItem("<No port found>");
    m_detectButton->setEnabled(!m_ports.empty());
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(new QLabel("Port:", group));
    portRow->addWidget(m_portList, 1);
    auto* column = new QVBoxLayout(group);
    column->addLayout(portRow);
    column->addWidget(m_detectButton);
    connect(m_detectButton, &QPushButton::clicked, this, &CSelectPanelDlg::OnDetect);
    return group;
}

void CSelectPanelDlg::AddChoice(const PanelType::SKind& kind)
{
    auto* button = new QPushButton(QString("%1 panel: %2").arg(kind.choiceKind, kind.modelNames), this);
    button->setObjectName(kind.choiceName);
    button->setFont(ChoiceFont(15));
    button->setAutoDefault(false);
    button->setStyleSheet("text-align: left; padding-left: 10px; padding-right: 10px;");
    // The style sheet's padding is not in the size hint: the whole list of models must show.
    button->setMinimumSize(std::max(260, QFontMetrics(button->font()).horizontalAdvance(button->text()) + 32),
                           36);
    m_typeChoices->addWidget(button);
    connect(button, &QPushButton::clicked, this,
            [this, typeCode = kind.typeCode]
            {
                m_type = typeCode;
                accept();
            });
}

void CSelectPanelDlg::OnDetect()
{
    const int row = m_portList->currentIndex();
    if (row < 0 || row >= static_cast<int>(m_ports.size()))
        return;
    m_detectDescriptor = m_ports[static_cast<size_t>(row)].descriptor;
    accept();
}
