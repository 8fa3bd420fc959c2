// tarvel-meter-sim: a stand-in for a Tarvel power-quality meter, for demos
// and for the monitor's tests. See README.md.

#include "Options.h"
#include "common/QtTranslations.h"
#include "SimServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop, so the simulator closes its links
// and exits normally instead of being cut off.
void QuitOnTerminationSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] { app.quit(); });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvel-meter-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MONITOR_VERSION));
    // the headings and the standard options of --help in Russian
    InstallQtTranslations(app);

    MeterSim::TSimOptions options;
    switch (MeterSim::ParseOptions(QCoreApplication::arguments(), options)) {
    case MeterSim::TParseResult::ExitOk: return 0;
    case MeterSim::TParseResult::ExitError: return 2;
    case MeterSim::TParseResult::Run: break;
    }

#ifdef __linux__
    if (options.DieWithParent)
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    QuitOnTerminationSignals(app);

    MeterSim::TSimServer server(options.Meter, std::move(options.Faults), options.Verbose);
    QString error;
    if (!options.SentLog.isEmpty() && !server.OpenSentLog(options.SentLog, &error)) {
        std::fprintf(stderr, "tarvel-meter-sim: cannot write %s: %s\n", qPrintable(options.SentLog), qPrintable(error));
        return 1;
    }
    if (options.Port) {
        if (!server.Listen(options.Host, *options.Port, &error)) {
            std::fprintf(stderr, "tarvel-meter-sim: cannot listen: %s\n", qPrintable(error));
            return 1;
        }
        std::printf("LISTENING %u\n", static_cast<unsigned>(server.ServerPort()));
        std::fflush(stdout);
    }
    if (!options.Tty.isEmpty()) {
        if (!server.OpenSerial(options.Tty, options.BaudRate, &error)) {
            std::fprintf(stderr, "tarvel-meter-sim: cannot open %s: %s\n", qPrintable(options.Tty), qPrintable(error));
            return 1;
        }
        std::printf("SERIAL %s\n", qPrintable(options.Tty));
        std::fflush(stdout);
    }
    return app.exec();
}
