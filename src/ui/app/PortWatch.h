#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Tells when the serial ports the lists offer may have changed where the device monitor does not look:
// a port registered or removed in the settings file by another program (tamrix-cli ports add), a
// registered path that appears or goes away (a simulator's pseudo-terminal), links and nodes in the
// device folders. File notices only wake it: a snapshot of those things decides whether anything
// changed, and it is also taken every PollMs, for file systems that send no notices.
class CPortWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int SettleMs = 200;
    static constexpr int PollMs = 2000;

    // The settings file holds the registered ports; the device folders are watched for their
    // terminal nodes ("tty*") and serial links.
    CPortWatch(QString settingsFile, QStringList deviceFolders, QObject* parent = nullptr);

    // Takes the present state as the starting point; changes after it are reported.
    void Start();

signals:
    void portsChanged();

private:
    void OnNotice();
    void Check();
    // The registered ports with whether each path exists, and the device folders' entries.
    QString Snapshot() const;
    // The settings file, its folder (it is replaced, not rewritten), the device folders and the
    // folders of the registered paths; files that were replaced are watched anew.
    void Watch();

    QString m_settingsFile;
    QStringList m_deviceFolders;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_poll;
    QString m_snapshot;
};
