#pragma once

// Command line of the headless poller.

#include <QString>
#include <QStringList>
#include <memory>

class TccnConnection;

struct TPollOptions
{
    QString TcpHost;
    quint16 TcpPort = 0;
    QString SerialPort;
    quint32 SerialBaud = 115200;
    QString DeviceType = QStringLiteral("dtM7SQ");
    quint16 DeviceAddress = 1;
    qint32 FactoryNumber = 1;
    QString Password;
    int Attempts = 3;
    int ConnectAttempts = 1;
    int Cycles = 0; // 0: until Ctrl+C
    int CsvEvery = 0;
    int StatsEvery = 0; // print the link statistics every K cycles
    QString OutDir;
    bool SaveOscillograms = false;
    QString Archive; // an SQLite file or a postgresql:// URL; empty: none
    bool ArchiveSpectra = false;
    QString LogFile;
    // Instead of polling: write a settings file of the monitor whose only
    // connection, already chosen, is this one.
    QString WriteSettings;

    // Fills the options; false with an error text for the user.
    bool Parse(const QStringList &arguments, QString &error);
    // The saved-connection equivalent of the options; null with an error
    // text when the device type is not one the monitor polls.
    std::shared_ptr<TccnConnection> MakeConnection(QString &error) const;

    static QString Usage();
};
