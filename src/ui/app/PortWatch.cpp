#include "ui/app/PortWatch.h"

#include "comm/PortRegistry.h"

#include <QDir>
#include <QFileInfo>

CPortWatch::CPortWatch(QString settingsFile, QStringList deviceFolders, QObject* parent)
    : QObject(parent), m_settingsFile(std::move(settingsFile)), m_deviceFolders(std::move(deviceFolders))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    m_poll.setInterval(PollMs);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &CPortWatch::OnNotice);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &CPortWatch::OnNotice);
    connect(&m_settle, &QTimer::timeout, this, &CPortWatch::Check);
    connect(&m_poll, &QTimer::timeout, this, &CPortWatch::Check);
}

void CPortWatch::Start()
{
    m_snapshot = Snapshot();
    Watch();
    m_poll.start();
}

void CPortWatch::OnNotice()
{
    // A save comes as several notices (lock file, temporary file, rename): one look after them.
    m_settle.start();
}

void CPortWatch::Check()
{
    Watch();
    QString now = Snapshot();
    if (now == m_snapshot)
        return;
    m_snapshot = std::move(now);
    emit portsChanged();
}

QString CPortWatch::Snapshot() const
{
    QString text;
    for (const auto& [number, path] : CPortRegistry::Instance().ExplicitEntries())
    {
        const QString name = QString::fromStdString(path);
        text += QString("%1=%2:%3\n").arg(number).arg(name).arg(QFileInfo::exists(name) ? 1 : 0);
    }
    for (const QString& folder : m_deviceFolders)
        text += folder + ": " +
                QDir(folder)
                    .entryList({"tty*", "usb-*", "pci-*", "platform-*"}, QDir::System | QDir::Files)
                    .join(' ') +
                "\n";
    return text;
}

void CPortWatch::Watch()
{
    QStringList paths{m_settingsFile, QFileInfo(m_settingsFile).absolutePath()};
    paths << m_deviceFolders;
    for (const auto& [number, path] : CPortRegistry::Instance().ExplicitEntries())
    {
        const QFileInfo entry(QString::fromStdString(path));
        paths << entry.absolutePath();
        // A link to a pseudo-terminal dangles once the terminal is gone: its target's folder tells.
        if (entry.isSymLink())
            paths << QFileInfo(entry.symLinkTarget()).absolutePath();
    }
    paths.removeDuplicates();
    QStringList missing;
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString& path : paths)
        if (!watched.contains(path) && QFileInfo::exists(path))
            missing << path;
    if (!missing.isEmpty())
        m_watcher.addPaths(missing);
}
