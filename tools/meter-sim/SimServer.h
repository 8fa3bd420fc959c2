#pragma once

// Where the simulated meter can be reached: a TCP port on which it serves one
// client at a time (a new connection replaces the old one), and optionally a
// serial line (for example one end of a pseudo-terminal pair).

#include "Faults.h"
#include "Meter.h"
#include "MeterLink.h"
#include "SentLog.h"
#include "Trace.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSerialPort>
#include <QTimer>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace MeterSim {

class TSimServer : public QObject
{
    Q_OBJECT

public:
    TSimServer(const TMeterConfig &config, TFaultPlan faults, bool verbose, QObject *parent = nullptr);
    ~TSimServer() override;

    // Port 0 picks a free one; ServerPort() tells which.
    bool Listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 ServerPort() const;
    bool OpenSerial(const QString &path, qint32 baudRate, QString *error);
    // Records every data answer and fired fault into the file (see SentLog.h).
    bool OpenSentLog(const QString &path, QString *error) { return sentLog_.Open(path, error); }

private:
    void OnNewConnection();
    void DropClient();
    void AttachSerial();
    void OnSerialError(QSerialPort::SerialPortError error);
    void ReopenSerial();

    TTrace trace_;
    TMeter meter_;
    TFaultPlan faults_;
    TSentLog sentLog_;
    QTcpServer *server_ = nullptr;
    QPointer<QTcpSocket> client_;
    TMeterLink *clientLink_ = nullptr;
    QSerialPort *serial_ = nullptr;
    TMeterLink *serialLink_ = nullptr;
    QTimer reopenTimer_;
    quint64 connections_ = 0;
};

} // namespace MeterSim
