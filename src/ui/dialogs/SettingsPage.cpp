#include "ui/dialogs/SettingsPage.h"

#include "ui/common/Prompter.h"

#include <QLabel>
#include <QVBoxLayout>

CSettingsPage::CSettingsPage(const SUiContext& context, std::function<bool()> channelPresent, QWidget* parent)
    : QWidget(parent), m_context(context), m_channelPresent(std::move(channelPresent))
{
    m_form = new QWidget(this);
    m_form->setObjectName("settingsForm");
    m_readingLabel = new QLabel(this);
    m_readingLabel->setObjectName("readingLabel");
    m_readingLabel->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_form);
    layout->addWidget(m_readingLabel);
}

void CSettingsPage::ShowBusy(const QString& doing)
{
    const bool busy = !doing.isEmpty();
    m_writing = doing == WritingText;
    m_readingLabel->setText(doing);
    m_readingLabel->setVisible(busy);
    m_form->setEnabled(!busy);
    emit busyChanged(busy);
}

void CSettingsPage::Tell(const QString& text)
{
    m_context.prompter.Message(this, text);
}
