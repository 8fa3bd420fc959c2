#pragma once

// Starts the project's meter simulator on a free loopback port and stops it
// again. Only usable where the build knows the simulator (MONITOR_SIM_PATH).

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

namespace testsim {

class TSimProcess
{
public:
    explicit TSimProcess(const QStringList &arguments = {}, const QString &program =
#ifdef MONITOR_SIM_PATH
                                                                QStringLiteral(MONITOR_SIM_PATH)
#else
                                                                QString()
#endif
    )
    {
        if (program.isEmpty())
            return;
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                            QStringLiteral("--die-with-parent")} + arguments);
        if (!process_.waitForStarted(15000))
            return;
        QByteArray out;
        QDeadlineTimer deadline(15000);
        while (!out.contains('\n') && !deadline.hasExpired() && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(200);
            out += process_.readAllStandardOutput();
        }
        const qsizetype at = out.indexOf("LISTENING ");
        if (at >= 0)
            port_ = static_cast<quint16>(out.mid(at + 10).trimmed().toUInt());
    }

    ~TSimProcess()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

    TSimProcess(const TSimProcess &) = delete;
    TSimProcess &operator=(const TSimProcess &) = delete;

    bool Started() const { return port_ != 0; }
    quint16 Port() const { return port_; }

private:
    QProcess process_;
    quint16 port_ = 0;
};

} // namespace testsim
