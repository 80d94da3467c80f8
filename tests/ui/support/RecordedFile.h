#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

// A panel's recording as written so far: its "# " header block, its column names and its rows, each
// split into fields (no field the panels write holds a comma).
struct SRecordedFile
{
    QStringList header;
    QStringList columns;
    QList<QStringList> rows;

    static SRecordedFile Read(const QString& path)
    {
        SRecordedFile recorded;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return recorded;
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
        {
            if (line.startsWith("# "))
                recorded.header << line;
            else if (recorded.columns.isEmpty())
                recorded.columns = line.split(',');
            else
                recorded.rows << line.split(',');
        }
        return recorded;
    }

    // The field of a row under a column; empty when there is no such column.
    QString Field(const QStringList& row, const char* column) const
    {
        const qsizetype index = columns.indexOf(QString::fromUtf8(column));
        return index >= 0 && index < row.size() ? row[index] : QString("<no column>");
    }
    // The header line "# key: value"'s value.
    QString Header(const char* key) const
    {
        const QString prefix = QString("# %1: ").arg(QString::fromUtf8(key));
        for (const QString& line : header)
        {
            if (line.startsWith(prefix))
                return line.mid(prefix.size());
        }
        return "<none>";
    }
};
