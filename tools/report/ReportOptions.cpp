#include "ReportOptions.h"

#include "archive/ArchiveConfig.h"
#include "archive/ArchiveRows.h"
#include "archive/ArchiveTarget.h"

#include <QFileInfo>
#include <QSettings>

QString TReportOptions::Usage()
{
    return QStringLiteral(
        "Использование: raruzor-report --archive АРХИВ [параметры] --format html|pdf|json --out ФАЙЛ\n"
        "          или: raruzor-report --config ФАЙЛ.ini [параметры] --format html|pdf|json --out ФАЙЛ\n"
        "Оценивает качество электроэнергии измерителя за интервал по архиву измерений программы\n"
        "(файл SQLite или postgresql://пользователь[:пароль]@хост[:порт]/база) относительно\n"
        "пределов, заданных в измерителе, так же, как страницы программы окрашивают значения, и\n"
        "записывает отчёт.\n\n"
        "Параметры:\n"
        "  --archive АРХИВ         архив, открывается только для чтения\n"
        "  --config ФАЙЛ.ini       архив из [Archive] Target файла, как его читает опрос (подходит\n"
        "                          его файл INI как есть): пароль из файла не попадает в командную\n"
        "                          строку; --archive, заданный вместе с ним, важнее, и файл не\n"
        "                          читается для архива; из его [Report] берутся Site и Customer,\n"
        "                          если они не заданы параметрами\n"
        "  --meter N               заводской номер измерителя (можно не задавать, если в архиве\n"
        "                          один измеритель)\n"
        "  --from T, --to T        время измерителя ГГГГ-ММ-ДДTЧЧ:ММ:СС или ГГГГ-ММ-ДД, from\n"
        "                          включительно, to — нет; по умолчанию последние семь полных суток\n"
        "                          архива, а если их в архиве нет — весь архив измерителя (если\n"
        "                          задан только один — семь суток от него или до него)\n"
        "  --format ФОРМАТ         html (один файл, графики внутри), pdf (A4) или json\n"
        "  --out ФАЙЛ              файл для записи; существующий заменяется только готовым новым\n"
        "  --percentile P          процент значений, которые должны быть в нормальных пределах\n"
        "                          (по умолчанию 95)\n"
        "  --coverage P            процент ожидаемых значений, нужный для заключения (по умолчанию 90)\n"
        "  --site ТЕКСТ            объект измерения (адрес, подстанция, присоединение) для документа\n"
        "  --customer ТЕКСТ        заказчик для документа\n"
        "  -h, --help              эта справка\n"
        "  -v, --version           версия программы и её утилит\n\n"
        "Код завершения:\n"
        "  0       отчёт записан\n"
        "  1       архив не читается или в нём нет данных измерителя за интервал, или файл не\n"
        "          записан\n"
        "  2       неверная командная строка или файл INI, который не читается или не называет\n"
        "          архив\n");
}

bool TReportOptions::Parse(const QStringList &arguments, QString &error)
{
    auto value = [&](int &i) -> QString {
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(arguments[i]);
            return {};
        }
        return arguments[++i];
    };
    bool formatGiven = false, siteGiven = false, customerGiven = false;
    for (int i = 1; i < arguments.size() && error.isEmpty(); ++i) {
        const QString &name = arguments[i];
        if (name == QLatin1String("--archive")) {
            Archive = value(i);
            if (const TArchiveTarget target = TArchiveTarget::Parse(Archive); error.isEmpty() && !target.IsValid())
                error = QStringLiteral("--archive: ") +
                        (target.Error().isEmpty() ? QStringLiteral("empty") : target.Error());
        } else if (name == QLatin1String("--config")) {
            ConfigFile = value(i);
        } else if (name == QLatin1String("--meter")) {
            const QString text = value(i);
            bool ok = false;
            const int number = text.toInt(&ok);
            if (error.isEmpty() && (!ok || number < 0))
                error = QStringLiteral("--meter: %1 is not a factory number").arg(text);
            Request.FactoryNumber = number;
        } else if (name == QLatin1String("--from") || name == QLatin1String("--to")) {
            const QString text = value(i);
            const QDateTime time = Archive::TimeFromArgument(text);
            if (error.isEmpty() && !time.isValid())
                error = QStringLiteral("%1 wants YYYY-MM-DDTHH:MM:SS or YYYY-MM-DD, not %2").arg(name, text);
            (name == QLatin1String("--from") ? Request.From : Request.To) = time;
        } else if (name == QLatin1String("--format")) {
            const QString text = value(i);
            formatGiven = true;
            if (text == QLatin1String("html"))
                Format = Report::TFormat::Html;
            else if (text == QLatin1String("pdf"))
                Format = Report::TFormat::Pdf;
            else if (text == QLatin1String("json"))
                Format = Report::TFormat::Json;
            else if (error.isEmpty())
                error = QStringLiteral("--format wants html, pdf or json, not %1").arg(text);
        } else if (name == QLatin1String("--out")) {
            OutFile = value(i);
        } else if (name == QLatin1String("--percentile") || name == QLatin1String("--coverage")) {
            const QString text = value(i);
            bool ok = false;
            const double percent = text.toDouble(&ok);
            if (error.isEmpty() && (!ok || percent <= 0 || percent > 100))
                error = QStringLiteral("%1 wants a percent above 0 and up to 100, not %2").arg(name, text);
            (name == QLatin1String("--percentile") ? Request.Settings.Percentile : Request.Settings.RequiredCoverage) =
                percent;
        } else if (name == QLatin1String("--site")) {
            Fields.Site = value(i);
            siteGiven = true;
        } else if (name == QLatin1String("--customer")) {
            Fields.Customer = value(i);
            customerGiven = true;
        } else {
            error = QStringLiteral("unknown option %1").arg(name);
        }
    }
    if (error.isEmpty() && Archive.isEmpty()) {
        if (ConfigFile.isEmpty())
            error = QStringLiteral("--archive or --config is needed");
        else
            Archive::ReadTargetConfig(ConfigFile, Archive, error);
    }
    // The document's fields from the same file, the command line first.
    if (error.isEmpty() && !ConfigFile.isEmpty() && QFileInfo(ConfigFile).isReadable() &&
        (!siteGiven || !customerGiven)) {
        const QSettings ini(ConfigFile, QSettings::IniFormat);
        if (!siteGiven)
            Fields.Site = ini.value(QStringLiteral("Report/Site")).toString();
        if (!customerGiven)
            Fields.Customer = ini.value(QStringLiteral("Report/Customer")).toString();
    }
    if (error.isEmpty() && !formatGiven)
        error = QStringLiteral("--format is needed");
    if (error.isEmpty() && OutFile.isEmpty())
        error = QStringLiteral("--out is needed");
    if (error.isEmpty() && Request.From.isValid() && Request.To.isValid() && Request.From >= Request.To)
        error = QStringLiteral("--from must come before --to");
    return error.isEmpty();
}
