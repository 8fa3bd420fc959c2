#pragma once

// Command line of the headless poller (and the INI file that may give it):
// one meter (--tcp, --serial) or a fleet (--connections).

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

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
    QString PasswordFile; // its first line is the password: kept off the command line
    int Attempts = 3;
    int ConnectAttempts = 1;
    int Cycles = 0; // 0: until Ctrl+C
    int CsvEvery = 0;
    int StatsEvery = 0; // print the link statistics every K cycles
    QString OutDir;
    bool SaveOscillograms = false;
    QString Archive; // an SQLite file or a postgresql:// URL; empty: none
    bool ArchiveSpectra = false;
    int ArchiveKeepDays = 31;
    QString LogFile;
    bool NoOscillograms = false;
    // A fleet: the connections of a list (those of Ids; empty: all), each
    // logged into its own file in LogDir.
    QString Connections;
    QList<int> Ids;
    QString LogDir;
    // Handed to the MQTT publisher as they are.
    QString MqttUrl;
    QString MqttCa;
    int MqttQueue = 10000;
    QString Config;
    // Instead of polling: write a settings file of the monitor whose only
    // connection, already chosen, is this one.
    QString WriteSettings;

    bool Fleet() const { return !Connections.isEmpty(); }
    // Named in the file or on the command line.
    bool Given(const QString &option) const { return given_.contains(option); }

    // Fills the options, from --config first, then the command line; false
    // with an error text for the user.
    bool Parse(const QStringList &arguments, QString &error);
    // The saved-connection equivalent of the options; null with an error
    // text when the device type is not one the monitor polls.
    std::shared_ptr<TccnConnection> MakeConnection(QString &error) const;

    static QString Usage();

private:
    // Applies the options from `first` on (arguments[0] is the program, or
    // nothing).
    bool Apply(const QStringList &arguments, int first, QString &error);

    QStringList given_; // the options named, from the file and the command line
};

// One option an INI file gives, as the command line would give it.
struct TConfigOption
{
    QString Name; // "--attempts"
    std::optional<QString> Value;
    QString Origin; // "FILE: [Poll] Attempts=x", to name it in an error
};

// The options of an INI file ([Poll], [Archive], [Mqtt]); false with an
// error text for an unreadable file, an unknown section or key, or a value
// that is no switch's.
bool ReadPollConfig(const QString &fileName, QList<TConfigOption> &options, QString &error);
