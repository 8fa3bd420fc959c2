// raruzor-archive: looks into the measurement archive the monitor and
// raruzor-poll write (an SQLite file or a PostgreSQL database), exports a
// meter's rows as CSV and checks the archive. It only ever reads it.

#include "ArchiveExport.h"
#include "ArchiveToolOptions.h"

#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveText.h"
#include "files/CsvSnapshot.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <cstdio>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Whatever is printed may quote the archive: its control characters never
// reach the terminal.
void Print(FILE *stream, const QString &text)
{
    std::fputs(Archive::PrintableText(text, true).toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

QString Time(const QDateTime &time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QStringLiteral("—");
}

int Info(TArchiveDatabase &database)
{
    const int version = database.SchemaVersion();
    const Archive::TSummary summary = database.Summary();
    if (!database.Error().isEmpty()) {
        Print(stderr, QStringLiteral("Ошибка чтения архива: ") + database.Error());
        return kExitFailed;
    }
    Print(stdout, QStringLiteral("Архив: ") + database.Target().Display());
    Print(stdout, QStringLiteral("Версия схемы: %1").arg(version));
    Print(stdout, summary.SizeBytes < 0
                      ? QStringLiteral("Размер: неизвестен")
                      : QStringLiteral("Размер: %1 МБ") // with the decimal comma, as the window shows it
                            .arg(QLocale(QLocale::Russian, QLocale::Russia)
                                     .toString(double(summary.SizeBytes) / (1024.0 * 1024.0), 'f', 2)));
    Print(stdout, QStringLiteral("Счетчиков: %1").arg(summary.Meters.size()));
    for (const Archive::TMeterRow &meter : summary.Meters) {
        Print(stdout,
              QStringLiteral("Счетчик %1: %2, заводской номер %3, адрес %4, впервые %5 UTC, последний раз %6 UTC")
                  .arg(meter.Id)
                  .arg(Archive::PrintableText(meter.DeviceType))
                  .arg(meter.FactoryNumber)
                  .arg(meter.DeviceAddress)
                  .arg(Time(meter.FirstSeenUtc), Time(meter.LastSeenUtc)));
        Print(stdout, QStringLiteral("  циклов: %1, 10-минутных строк: %2, время счетчика: %3 – %4")
                          .arg(meter.Cycles)
                          .arg(meter.Aggregates)
                          .arg(Time(meter.FirstMeterTime), Time(meter.LastMeterTime)));
    }
    Print(stdout, QStringLiteral("Строк пределов: %1").arg(summary.LimitRows));
    return kExitOk;
}

int Export(TArchiveDatabase &database, const TArchiveToolOptions &options)
{
    const TExportOutcome outcome =
        ExportCsv(database, {options.MeterId, options.From, options.To, options.Aggregates, options.CsvFile});
    const QString path = QDir::toNativeSeparators(options.CsvFile);
    if (!outcome.Written) {
        Print(stderr, QStringLiteral("%1%2 (%3)").arg(SaveFailedLead(), path, outcome.Error));
        return kExitFailed;
    }
    if (outcome.Skipped > 0)
        Print(stderr,
              QStringLiteral("Пропущено строк, время или число в которых не читается: %1").arg(outcome.Skipped));
    Print(stdout, QStringLiteral("Записан файл: %1 (строк: %2)").arg(path).arg(outcome.Rows));
    return kExitOk;
}

int Check(TArchiveDatabase &database)
{
    const QString result = database.Check();
    if (result == QLatin1String("ok")) {
        Print(stdout, result);
        return kExitOk;
    }
    Print(stdout, QStringLiteral("Архив поврежден или неполон:"));
    Print(stdout, result);
    return kExitFailed;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(TArchiveToolOptions::Usage().toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    if (arguments.contains(QStringLiteral("--version")) || arguments.contains(QStringLiteral("-v"))) {
        std::puts("raruzor-archive " MONITOR_VERSION);
        return kExitOk;
    }
    TArchiveToolOptions options;
    if (QString error; !options.Parse(arguments, error)) {
        std::fprintf(stderr, "raruzor-archive: %s\n\n%s", error.toLocal8Bit().constData(),
                     TArchiveToolOptions::Usage().toLocal8Bit().constData());
        return kExitUsage;
    }

    // Read: a file that is not an archive is refused as it is, never made one.
    TArchiveDatabase database(TArchiveTarget::Parse(options.Archive));
    if (!database.Open(TArchiveDatabase::TMode::Read)) {
        Print(stderr, QStringLiteral("Архив не открыт: ") + database.Error());
        return kExitFailed;
    }
    switch (options.Command) {
    case TArchiveToolOptions::TCommand::Info: return Info(database);
    case TArchiveToolOptions::TCommand::Export: return Export(database, options);
    case TArchiveToolOptions::TCommand::Check: return Check(database);
    case TArchiveToolOptions::TCommand::None: break;
    }
    return kExitUsage;
}
