// ccnn-convert: rewrites a connection-list file in the binary or the text
// form, or lists its connections, for support engineers handling lists
// mailed by operators.
//
//   ccnn-convert IN OUT --binary|--text
//   ccnn-convert IN --list

#include "ConnectionListSummary.h"

#include "catalogue/ConnectionList.h"
#include "common/QtTranslations.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // the list could not be read or written
constexpr int kExitUsage = 2;

void PrintLine(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

int Usage(const QCommandLineParser &parser, const QString &problem)
{
    PrintLine(stderr, problem);
    PrintLine(stderr, parser.helpText());
    return kExitUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ccnn-convert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MONITOR_VERSION));
    // the headings and the standard options of --help in Russian
    InstallQtTranslations(app);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Переводит файл списка подключений (.ccnn) из двоичной формы в текстовую и "
                       "обратно или перечисляет его подключения. Входной файл может быть в любой форме."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("ВХОД"), QStringLiteral("Файл списка подключений для чтения."));
    parser.addPositionalArgument(QStringLiteral("ВЫХОД"), QStringLiteral("Файл для записи (с --binary или --text)."),
                                 QStringLiteral("[ВЫХОД]"));
    const QCommandLineOption binary(QStringLiteral("binary"), QStringLiteral("Записать ВЫХОД в двоичной форме."));
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("Записать ВЫХОД в текстовой форме."));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Напечатать по строке на подключение: ID (его берёт --ids опроса); "
                                                 "измеритель и заводской номер; протокол и адрес; тип "
                                                 "подключения и его параметры; примечание."));
    parser.addOptions({binary, text, list});
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    const int actions = int(parser.isSet(binary)) + int(parser.isSet(text)) + int(parser.isSet(list));
    if (actions != 1)
        return Usage(parser, QStringLiteral("Give exactly one of --binary, --text, --list."));
    if (parser.isSet(list) ? files.size() != 1 : files.size() != 2)
        return Usage(parser, parser.isSet(list) ? QStringLiteral("--list takes one file.")
                                                : QStringLiteral("Give the input and the output file."));

    TccnConnectionList connections;
    try {
        connections.LoadFromFile(files[0], csfAny);
        if (parser.isSet(list)) {
            for (int i = 0; i < connections.Count(); ++i)
                PrintLine(stdout, ConnectionSummary(*connections.Items(i)));
        } else {
            // Written beside the target and renamed into place: a failure
            // leaves an existing OUT as it was.
            connections.SaveToFile(files[1], parser.isSet(binary) ? csfBinary : csfText);
        }
    } catch (const Exception &error) {
        PrintLine(stderr, error.Message());
        return kExitFailed;
    }
    return kExitOk;
}
