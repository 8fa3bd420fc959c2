#pragma once

// The command line of raruzor-archive: a command, the archive, and the
// export's choices.

#include <QDateTime>
#include <QString>
#include <QStringList>

struct TArchiveToolOptions
{
    enum class TCommand { None, Info, Export, Check };

    TCommand Command = TCommand::None;
    QString Archive;    // a path or a postgresql:// URL
    QString ConfigFile; // an INI file naming the archive when Archive is not given
    qint64 MeterId = 0;
    QDateTime From, To; // meter time, [From, To); invalid: open
    bool Aggregates = false;
    QString CsvFile;

    static QString Usage();
    // False with `error` set (in English, like the usage) for a wrong command line.
    bool Parse(const QStringList &arguments, QString &error);
};
