#pragma once

// Starts the project's meter simulator on a free loopback port and stops it
// again. Only usable where the build knows the simulator (MONITOR_SIM_PATH).

#include "support/ChildProcess.h"

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
        const QByteArray out = process_.StartAndWaitFor(
            program,
            QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--die-with-parent")} + arguments,
            "\n");
        const qsizetype at = out.indexOf("LISTENING ");
        if (at >= 0)
            port_ = static_cast<quint16>(out.mid(at + 10).trimmed().toUInt());
    }

    bool Started() const
    {
        return port_ != 0;
    }
    quint16 Port() const
    {
        return port_;
    }

private:
    testsupport::TChildProcess process_;
    quint16 port_ = 0;
};

} // namespace testsim
