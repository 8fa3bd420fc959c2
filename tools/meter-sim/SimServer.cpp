#include "SimServer.h"

#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>

namespace MeterSim {

using namespace Qt::Literals::StringLiterals;

namespace {
constexpr int kReopenMs = 1000;
}

TSimServer::TSimServer(const TMeterConfig &config, TFaultPlan faults, bool verbose, QObject *parent)
    : QObject(parent), trace_(verbose), meter_(config), faults_(std::move(faults))
{}

TSimServer::~TSimServer()
{
    DropClient();
    delete serialLink_;
    if (serial_)
        serial_->close();
}

bool TSimServer::Listen(const QHostAddress &address, quint16 port, QString *error)
{
    server_ = new QTcpServer(this);
    server_->setMaxPendingConnections(4);
    if (!server_->listen(address, port)) {
        if (error)
            *error = server_->errorString();
        return false;
    }
    connect(server_, &QTcpServer::newConnection, this, &TSimServer::OnNewConnection);
    trace_.Line(u"listening on %1:%2"_s.arg(address.toString()).arg(server_->serverPort()));
    return true;
}

quint16 TSimServer::ServerPort() const
{
    return server_ ? server_->serverPort() : 0;
}

void TSimServer::OnNewConnection()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        // A client that reconnects may do so before its old connection is
        // seen to close: the newest connection wins.
        if (client_)
            trace_.Line(u"tcp: a new client replaces the current one"_s);
        DropClient();

        client_ = socket;
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const QString name =
            u"tcp#%1 %2:%3"_s.arg(++connections_).arg(socket->peerAddress().toString()).arg(socket->peerPort());
        clientLink_ = new TMeterLink(socket, name, meter_, faults_, trace_, this);
        clientLink_->SetSentLog(&sentLog_);
        connect(
            clientLink_, &TMeterLink::CloseRequested, this, [this] { DropClient(); }, Qt::QueuedConnection);
        connect(
            socket, &QTcpSocket::disconnected, this,
            [this, socket] {
                if (client_ == socket)
                    DropClient();
            },
            Qt::QueuedConnection);
    }
}

void TSimServer::DropClient()
{
    if (clientLink_) {
        delete clientLink_;
        clientLink_ = nullptr;
    }
    if (client_) {
        QTcpSocket *socket = client_;
        client_ = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

bool TSimServer::OpenSerial(const QString &path, qint32 baudRate, QString *error)
{
    serial_ = new QSerialPort(path, this);
    serial_->setBaudRate(baudRate);
    serial_->setDataBits(QSerialPort::Data8);
    serial_->setParity(QSerialPort::NoParity);
    serial_->setStopBits(QSerialPort::OneStop);
    serial_->setFlowControl(QSerialPort::NoFlowControl);
    if (!serial_->open(QIODevice::ReadWrite)) {
        if (error)
            *error = serial_->errorString();
        return false;
    }
    // Queued: the port reports errors from inside a read of the link.
    connect(serial_, &QSerialPort::errorOccurred, this, &TSimServer::OnSerialError, Qt::QueuedConnection);
    reopenTimer_.setInterval(kReopenMs);
    reopenTimer_.setSingleShot(true);
    connect(&reopenTimer_, &QTimer::timeout, this, &TSimServer::ReopenSerial);
    AttachSerial();
    return true;
}

void TSimServer::OnSerialError(QSerialPort::SerialPortError error)
{
    if (!serial_->isOpen() || error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    trace_.Line(u"tty: %1"_s.arg(serial_->errorString()));
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError && error != QSerialPort::ResourceError)
        return;
    // The line is gone (the other end of a pty pair closed, an adapter was
    // pulled): close it and keep trying to open it again, like a meter that
    // waits for its cable.
    trace_.Line(u"tty: line lost, reopening every %1 ms"_s.arg(kReopenMs));
    delete serialLink_;
    serialLink_ = nullptr;
    serial_->close();
    reopenTimer_.start();
}

void TSimServer::ReopenSerial()
{
    serial_->clearError();
    if (!serial_->open(QIODevice::ReadWrite)) {
        reopenTimer_.start();
        return;
    }
    trace_.Line(u"tty: line open again"_s);
    AttachSerial();
}

void TSimServer::AttachSerial()
{
    delete serialLink_;
    serialLink_ = new TMeterLink(serial_, u"tty %1"_s.arg(serial_->portName()), meter_, faults_, trace_, this);
    serialLink_->SetSentLog(&sentLog_);
    // A serial line cannot be hung up from here: a close fault leaves it silent
    // and starts a new session, as a meter that restarted would.
    connect(
        serialLink_, &TMeterLink::CloseRequested, this,
        [this] {
            serial_->clear();
            AttachSerial();
        },
        Qt::QueuedConnection);
}

} // namespace MeterSim
