#pragma once

// A pair of connected pseudo-terminals made by socat, standing in for a
// serial cable: what is written to one end comes out of the other. Ptys carry
// bytes but no modem lines. Skips cleanly where socat is missing.

#include "support/ChildProcess.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace testpty {

class TPtyPair
{
public:
    TPtyPair()
    {
        const QString socat = QStandardPaths::findExecutable(QStringLiteral("socat"));
        if (socat.isEmpty())
            return;
        // socat names both ends on stderr ("N PTY is /dev/pts/3") before it
        // starts moving data.
        const QByteArray err =
            process_.StartAndWaitFor(socat,
                                     {QStringLiteral("-d"), QStringLiteral("-d"), QStringLiteral("pty,raw,echo=0"),
                                      QStringLiteral("pty,raw,echo=0")},
                                     "starting data transfer", QProcess::StandardError);
        static const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)"));
        auto it = ptyLine.globalMatch(QString::fromLocal8Bit(err));
        if (it.hasNext())
            first_ = it.next().captured(1);
        if (it.hasNext())
            second_ = it.next().captured(1);
    }

    bool Ready() const { return !first_.isEmpty() && !second_.isEmpty(); }
    const QString &First() const { return first_; }
    const QString &Second() const { return second_; }

private:
    testsupport::TChildProcess process_;
    QString first_;
    QString second_;
};

// The project's meter simulator serving one end of a pty pair. Only usable
// where the build knows the simulator (MONITOR_SIM_PATH).
class TSerialSim
{
public:
    explicit TSerialSim(const QString &tty, const QStringList &arguments = {})
    {
#ifdef MONITOR_SIM_PATH
        // Serving once it names the line: bytes sent before would be lost.
        const QByteArray out = process_.StartAndWaitFor(
            QStringLiteral(MONITOR_SIM_PATH),
            QStringList{QStringLiteral("--tty"), tty, QStringLiteral("--die-with-parent")} + arguments, "SERIAL ");
        serving_ = out.contains("SERIAL ");
#else
        Q_UNUSED(tty);
        Q_UNUSED(arguments);
#endif
    }

    bool Serving() const
    {
        return serving_;
    }

private:
    testsupport::TChildProcess process_;
    bool serving_ = false;
};

} // namespace testpty

#ifdef MONITOR_SIM_PATH
#define REQUIRE_SERIAL_SIM(sim) ASSERT_TRUE((sim).Serving()) << "the meter simulator does not serve the pty"
#else
#define REQUIRE_SERIAL_SIM(sim) GTEST_SKIP() << "no meter simulator in this build"
#endif

#define REQUIRE_PTY(pair)                                                                                              \
    do {                                                                                                               \
        if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())                                         \
            GTEST_SKIP() << "socat is not installed";                                                                  \
        ASSERT_TRUE((pair).Ready()) << "socat made no pty pair";                                                       \
    } while (false)
