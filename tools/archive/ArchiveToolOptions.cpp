#include "ArchiveToolOptions.h"

#include "archive/ArchiveConfig.h"
#include "archive/ArchiveRows.h"
#include "archive/ArchiveTarget.h"

QString TArchiveToolOptions::Usage()
{
    return QStringLiteral(
        "Использование: raruzor-archive КОМАНДА АРХИВ [параметры]\n"
        "          или: raruzor-archive КОМАНДА --config ФАЙЛ.ini [параметры]\n"
        "Читает архив измерений программы: файл SQLite или\n"
        "postgresql://пользователь[:пароль]@хост[:порт]/база.\n\n"
        "Команды:\n"
        "  info АРХИВ              его измерители (id, тип, заводской номер, адрес, первое и\n"
        "                          последнее появление, UTC), их циклы и 10-минутные строки и\n"
        "                          время измерителя, которое они охватывают, строки пределов,\n"
        "                          размер и версия схемы\n"
        "  export АРХИВ --meter ID [--from T] [--to T] [--aggregates] --csv ФАЙЛ.csv\n"
        "                          циклы измерителя (или 10-минутные строки), время измерителя\n"
        "                          которых в [from, to), файлом CSV, как снимки программы\n"
        "                          (Windows-1251, \";\" после каждой ячейки, CR LF)\n"
        "  check АРХИВ             целостность и схема: печатает \"ok\" или что не так\n\n"
        "Параметры:\n"
        "  --config ФАЙЛ.ini       архив из [Archive] Target файла, как его читает опрос (подходит\n"
        "                          его файл INI как есть): пароль из файла не попадает в командную\n"
        "                          строку; АРХИВ, заданный вместе с ним, важнее, и файл не читается\n\n"
        "Параметры выгрузки:\n"
        "  --meter ID              id измерителя, как его показывает info\n"
        "  --from T, --to T        время измерителя ГГГГ-ММ-ДДTЧЧ:ММ:СС или ГГГГ-ММ-ДД (без них —\n"
        "                          без границы)\n"
        "  --aggregates            10-минутные строки (avg, min, max, values_count, flags) вместо\n"
        "                          циклов\n"
        "  --csv ФАЙЛ.csv          файл для записи; существующий заменяется только готовым новым;\n"
        "                          строки с нечитаемым временем или числом (архив, правленный\n"
        "                          вручную) пропускаются и подсчитываются\n"
        "  -h, --help              эта справка\n"
        "  -v, --version           версия программы и её утилит\n\n"
        "Архив открывается только для чтения и никогда не меняется.\n\n"
        "Код завершения:\n"
        "  0       готово (check: архив исправен)\n"
        "  1       архив не читается, не является архивом или в нём есть неполадки, или файл CSV\n"
        "          не записан\n"
        "  2       неверная командная строка или файл INI, который не читается или не называет\n"
        "          архив\n");
}

bool TArchiveToolOptions::Parse(const QStringList &arguments, QString &error)
{
    if (arguments.size() < 2) {
        error = QStringLiteral("no command given");
        return false;
    }
    const QString &command = arguments[1];
    if (command == QLatin1String("info"))
        Command = TCommand::Info;
    else if (command == QLatin1String("export"))
        Command = TCommand::Export;
    else if (command == QLatin1String("check"))
        Command = TCommand::Check;
    else {
        error = QStringLiteral("unknown command %1").arg(command);
        return false;
    }
    int first = 2; // the first option
    if (arguments.size() > 2 && !arguments[2].startsWith(QLatin1String("--"))) {
        Archive = arguments[2];
        first = 3;
        if (const TArchiveTarget target = TArchiveTarget::Parse(Archive); !target.IsValid()) {
            error = QStringLiteral("archive: ") + target.Error();
            return false;
        }
    }

    auto value = [&](int &i) -> QString {
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(arguments[i]);
            return {};
        }
        return arguments[++i];
    };
    const bool exporting = Command == TCommand::Export;
    bool meterGiven = false;
    for (int i = first; i < arguments.size() && error.isEmpty(); ++i) {
        const QString &name = arguments[i];
        if (name == QLatin1String("--config")) {
            ConfigFile = value(i);
        } else if (!exporting) {
            error = QStringLiteral("%1 takes no option %2").arg(command, name);
        } else if (name == QLatin1String("--meter")) {
            const QString text = value(i);
            bool ok = false;
            MeterId = text.toLongLong(&ok);
            if (error.isEmpty() && (!ok || MeterId < 1))
                error = QStringLiteral("--meter: %1 is not a meter id").arg(text);
            meterGiven = true;
        } else if (name == QLatin1String("--from") || name == QLatin1String("--to")) {
            const QString text = value(i);
            const QDateTime time = Archive::TimeFromArgument(text);
            if (error.isEmpty() && !time.isValid())
                error = QStringLiteral("%1 wants YYYY-MM-DDTHH:MM:SS or YYYY-MM-DD, not %2").arg(name, text);
            (name == QLatin1String("--from") ? From : To) = time;
        } else if (name == QLatin1String("--aggregates")) {
            Aggregates = true;
        } else if (name == QLatin1String("--csv")) {
            CsvFile = value(i);
            if (error.isEmpty() && !CsvFile.endsWith(QLatin1String(".csv")))
                error = QStringLiteral("--csv wants a file name ending in .csv");
        } else {
            error = QStringLiteral("unknown option %1").arg(name);
        }
    }
    if (error.isEmpty() && Archive.isEmpty()) {
        if (ConfigFile.isEmpty())
            error =
                QStringLiteral("%1 needs an archive (a file or a postgresql:// URL) or --config FILE.ini").arg(command);
        else
            Archive::ReadTargetConfig(ConfigFile, Archive, error);
    }
    if (error.isEmpty() && exporting && !meterGiven)
        error = QStringLiteral("export needs --meter ID");
    if (error.isEmpty() && exporting && CsvFile.isEmpty())
        error = QStringLiteral("export needs --csv FILE.csv");
    if (error.isEmpty() && From.isValid() && To.isValid() && From >= To)
        error = QStringLiteral("--from must come before --to");
    return error.isEmpty();
}
