// raruzor-report: the power-quality report of a meter from the measurement
// archive the monitor and raruzor-poll write, as HTML, PDF or JSON. It only
// ever reads the archive.

#include "ReportOptions.h"

#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveText.h"

#include <QApplication>
#include <QDir>
#include <QSaveFile>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Errors may quote the archive: its control characters never reach the
// terminal.
void Print(FILE *stream, const QString &text)
{
    std::fputs(Archive::PrintableText(text, true).toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

int Run(const TReportOptions &options)
{
    // Read: a file that is not an archive is refused as it is, never made one.
    TArchiveDatabase database(TArchiveTarget::Parse(options.Archive));
    if (!database.Open(TArchiveDatabase::TMode::Read)) {
        Print(stderr, QStringLiteral("Архив не открыт: ") + database.Error());
        return kExitFailed;
    }
    QString error;
    const std::optional<Report::TQualityReport> report = Report::MakeQualityReport(database, options.Request, error);
    if (!report) {
        Print(stderr, QStringLiteral("Отчёт не составлен: ") + error);
        return kExitFailed;
    }
    const QByteArray document = Report::RenderReport(*report, options.Format, options.Fields);
    const QString path = QDir::toNativeSeparators(options.OutFile);
    QSaveFile file(options.OutFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit()) {
        Print(stderr, QStringLiteral("Отчёт не записан в %1: %2").arg(path, file.errorString()));
        return kExitFailed;
    }
    Print(stdout, QStringLiteral("Отчёт записан в %1: %2").arg(path, Report::VerdictText(report->Verdict)));
    return kExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(TReportOptions::Usage().toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    if (arguments.contains(QStringLiteral("--version")) || arguments.contains(QStringLiteral("-v"))) {
        std::puts("raruzor-report " MONITOR_VERSION);
        return kExitOk;
    }
    TReportOptions options;
    if (QString error; !options.Parse(arguments, error)) {
        std::fprintf(stderr, "raruzor-report: %s\n\n%s", error.toLocal8Bit().constData(),
                     TReportOptions::Usage().toLocal8Bit().constData());
        return kExitUsage;
    }
    // The charts are drawn by widgets: without a display they are drawn off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return Run(options);
}
