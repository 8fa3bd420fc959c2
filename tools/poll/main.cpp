// raruzor-poll: the monitor's polling engine without a window, for
// unattended recording and automation: one meter, or a fleet as a service.

#include "Fleet.h"
#include "PollOptions.h"
#include "PollOutput.h"
#include "SinglePoll.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(TPollOptions::Usage().toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    if (arguments.contains(QStringLiteral("--version")) || arguments.contains(QStringLiteral("-v"))) {
        std::puts("raruzor-poll " MONITOR_VERSION);
        return kExitOk;
    }
    TPollOptions options;
    QString error;
    if (!options.Parse(arguments, error)) {
        std::fprintf(stderr, "raruzor-poll: %s\n\n%s", error.toLocal8Bit().constData(),
                     TPollOptions::Usage().toLocal8Bit().constData());
        return kExitUsage;
    }
    if (options.Fleet())
        return RunFleet(options);
    std::shared_ptr<TccnConnection> connection = options.MakeConnection(error);
    if (!connection) {
        std::fprintf(stderr, "raruzor-poll: %s\n\n%s", error.toLocal8Bit().constData(),
                     TPollOptions::Usage().toLocal8Bit().constData());
        return kExitUsage;
    }
    return RunSingle(options, std::move(connection));
}
