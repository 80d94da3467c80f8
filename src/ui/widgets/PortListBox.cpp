#include "ui/widgets/PortListBox.h"

#include "ui/common/NetworkAddresses.h"
#include "ui/common/PortChoices.h"

#include <QAbstractItemView>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <algorithm>
#include <vector>

namespace
{
struct SListEntry
{
    QString text;
    int value;
    bool enabled = true;
    bool operator==(const SListEntry&) const = default;
};

// Rewritten only when an entry differs, so that a refresh that finds nothing new leaves the list (and
// the user's place in it) alone.
bool ListShows(const QComboBox& list, const std::vector<SListEntry>& entries)
{
    if (list.count() != static_cast<int>(entries.size()))
        return false;
    const auto* model = qobject_cast<const QStandardItemModel*>(list.model());
    for (int row = 0; row < list.count(); ++row)
    {
        const SListEntry shown{list.itemText(row), list.itemData(row).toInt(),
                               !model || model->item(row)->isEnabled()};
        if (!(shown == entries[static_cast<size_t>(row)]))
            return false;
    }
    return true;
}

void ShowEntries(QComboBox& list, const std::vector<SListEntry>& entries)
{
    const QSignalBlocker quiet(list);
    list.clear();
    auto* model = qobject_cast<QStandardItemModel*>(list.model());
    for (const SListEntry& entry : entries)
    {
        list.addItem(entry.text, entry.value);
        if (model && !entry.enabled)
            model->item(list.count() - 1)->setEnabled(false);
    }
}

bool SameAddress(const PortDescriptor& a, const PortDescriptor& b)
{
    return a.first == b.first && PortDescriptor::ToInt(a.second) == PortDescriptor::ToInt(b.second);
}
} // namespace

CPortListBox::CPortListBox(const CProfile& profile, std::function<int(int port)> holderOf, QWidget* parent)
    : QComboBox(parent), m_profile(profile), m_holderOf(std::move(holderOf))
{
    setObjectName("portList");
    setMinimumContentsLength(18);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CPortListBox::Refresh);
    connect(this, qOverload<int>(&QComboBox::activated), this, &CPortListBox::OnActivated);
    // A long entry is cut in the closed box; its whole text is a hover away.
    connect(this, &QComboBox::currentTextChanged, this, &QWidget::setToolTip);
}

void CPortListBox::Fill(const std::string& descriptor)
{
    std::optional<PortDescriptor> wanted = PortDescriptor::Parse(descriptor);
    if (!wanted)
        wanted = PortDescriptor::Parse(m_choice);
    Rebuild(wanted);
    KeepChoice();
}

void CPortListBox::Rebuild(const std::optional<PortDescriptor>& wanted)
{
    const bool wantSerial = wanted && wanted->kind == "COM";
    const int wantedPort = wantSerial ? PortDescriptor::ToInt(wanted->first) : 0;
    std::vector<SListEntry> entries{{"<Select Port>", ItemSelectPort}};
    int selected = 0;
    std::vector<SSerialChoice> ports = PortChoices::SerialPorts();
    // The chosen port stays chosen while its device is away, so a replugged unit finds it again and the
    // saved connection is not lost.
    if (wantedPort > 0 &&
        std::none_of(ports.begin(), ports.end(),
                     [wantedPort](const SSerialChoice& p) { return p.number == wantedPort; }))
        ports.push_back({wantedPort, QString(), false});
    for (const SSerialChoice& port : ports)
    {
        if (port.number == wantedPort)
            selected = static_cast<int>(entries.size());
        entries.push_back({PortChoices::Text(port, m_holderOf(port.number)), port.number, port.present});
    }
    for (const SNetworkAddress& entry : NetworkAddresses::Read(m_profile))
    {
        const PortDescriptor address{"TCP", entry.address, std::to_string(entry.port)};
        if (wanted && !wantSerial && SameAddress(address, *wanted))
            selected = static_cast<int>(entries.size());
        entries.push_back({NetworkAddresses::ListText(entry, true), ItemNetworkEntry});
    }
    entries.push_back({"Connect via Network...", ItemConnectViaNetwork});
    entries.push_back({"Refresh", ItemRefresh});
    if (!ListShows(*this, entries))
    {
        ShowEntries(*this, entries);
        // The open list shows whole entries, wider than the closed box when it must be.
        view()->setMinimumWidth(view()->sizeHintForColumn(0));
    }
    setCurrentIndex(selected);
}

void CPortListBox::Refresh()
{
    if (view()->isVisible())
    {
        RefreshLater();
        return;
    }
    Fill(m_choice);
}

void CPortListBox::RefreshLater()
{
    m_refreshTimer.start(RefreshDelayMs);
}

void CPortListBox::Select(const std::string& descriptor)
{
    const std::optional<PortDescriptor> wanted = PortDescriptor::Parse(descriptor);
    if (!wanted)
        return;
    for (int i = 1; i < count(); ++i)
    {
        const int item = itemData(i).toInt();
        bool match = wanted->kind == "COM" && item == PortDescriptor::ToInt(wanted->first);
        if (wanted->kind == "TCP" && item == ItemNetworkEntry)
        {
            const auto entry = PortDescriptor::Parse("TCP:" + itemText(i).toStdString());
            match = entry && SameAddress(*entry, *wanted);
        }
        if (match)
        {
            setCurrentIndex(i);
            KeepChoice();
            return;
        }
    }
}

std::string CPortListBox::SelectedDescriptor() const
{
    const int item = currentData().toInt();
    if (item > 0)
        return "COM:" + std::to_string(item) + ":0";
    if (item == ItemNetworkEntry)
        return "TCP:" + currentText().toStdString();
    return {};
}

void CPortListBox::OnActivated(int position)
{
    const int item = itemData(position).toInt();
    if (item == ItemRefresh)
        Fill(m_choice);
    else if (item == ItemConnectViaNetwork)
        emit networkEntryChosen();
    else
        KeepChoice();
}
