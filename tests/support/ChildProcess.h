#pragma once

// A helper program that a test (or benchmark) starts and that ends with it:
// started, watched until it says it is ready, stopped politely, then killed.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

namespace testsupport {

class TChildProcess
{
public:
    TChildProcess() = default;
    ~TChildProcess() { Stop(); }

    TChildProcess(const TChildProcess &) = delete;
    TChildProcess &operator=(const TChildProcess &) = delete;

    // Starts the program and collects what it writes on the channel until
    // `marker` has come (or 15 s have passed). The other channel is passed on
    // to ours when the marker comes on standard output. Returns what came.
    QByteArray StartAndWaitFor(const QString &program, const QStringList &arguments, const QByteArray &marker,
                               QProcess::ProcessChannel channel = QProcess::StandardOutput)
    {
        if (channel == QProcess::StandardOutput)
            process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, arguments);
        if (!process_.waitForStarted(15000))
            return {};
        QByteArray collected;
        QDeadlineTimer deadline(15000);
        while (!collected.contains(marker) && !deadline.hasExpired() && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(200);
            collected += channel == QProcess::StandardOutput ? process_.readAllStandardOutput()
                                                             : process_.readAllStandardError();
        }
        return collected;
    }

    void Stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

private:
    QProcess process_;
};

} // namespace testsupport
