#include "PollOptions.h"

#include "archive/ArchiveTarget.h"
#include "mqtt/MqttTarget.h"

#include "common/UrlPassword.h"

#include "catalogue/AcceptedConnections.h"
#include "catalogue/CatalogueObjects.h"
#include "catalogue/CatalogueTypes.h"
#include "catalogue/ConnectionList.h"
#include "engine/PollRun.h"

#include <QFile>

namespace {

bool ToInt(const QString &text, qint64 low, qint64 high, qint64 &value)
{
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok && value >= low && value <= high;
}

// In the order of their names.
QString PolledTypeIdents()
{
    QStringList idents;
    for (TDeviceType type : kPolledDeviceTypes)
        idents << DeviceTypeIdents().at(type);
    idents.sort();
    return idents.join(QStringLiteral(", "));
}

// An error text about a URL with the URL's password hidden: the URL parser's
// texts quote the URL, and parts of it.
QString WithoutPassword(QString text, const QString &url)
{
    const QString trimmed = url.trimmed();
    const TUrlPassword parts = TUrlPassword::Split(trimmed);
    if (parts.Password.isEmpty())
        return text;
    text.replace(trimmed, HideUrlPassword(trimmed));
    text.replace(parts.Password, QStringLiteral("***"));
    return text;
}

// The first line of the file, without its line end.
bool ReadPasswordFile(const QString &fileName, QString &password, QString &error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("--password-file: cannot read %1 (%2)").arg(fileName, file.errorString());
        return false;
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    password = QString::fromUtf8(line);
    return true;
}

} // namespace

QString TPollOptions::Usage()
{
    return QStringLiteral(
               "Использование: raruzor-poll (--tcp ХОСТ:ПОРТ | --serial ПОРТ[:СКОРОСТЬ]) [параметры]\n"
               "          или: raruzor-poll --connections ФАЙЛ.ccnn [--ids 0,3,5] [параметры]\n"
               "          или: raruzor-poll --config ФАЙЛ.ini [параметры]\n"
               "Опрашивает один измеритель или сразу все подключения списка (как служба) тем же\n"
               "ядром, что и программа, без окна.\n\n"
               "Один измеритель:\n"
               "  --tcp ХОСТ:ПОРТ         измеритель (или преобразователь) по TCP/IP\n"
               "  --serial ПОРТ[:СКОРОСТЬ]\n"
               "                          измеритель на прямом последовательном кабеле (115200 бит/с)\n"
               "  --device-type ТИП       %1 (dtM7SQ)\n"
               "  --device-address N      адрес устройства в кадрах (1)\n"
               "  --factory-number N      заводской номер, входит в имена файлов (1); обязателен с\n"
               "                          --archive и --mqtt, которые различают измерители по нему\n"
               "  --connect-attempts N    попыток открыть канал (1)\n"
               "  --cycles N              остановиться после N циклов данных (0: до Ctrl+C)\n"
               "  --csv-every K           записывать снимок CSV каждые K циклов в папку --out\n"
               "  --out ПАПКА             папка снимков CSV (текущая папка)\n"
               "  --save-oscillograms     сохранять и каждую осциллограмму в файлы COMTRADE (.cfg и .dat)\n"
               "                          в ~/Documents/VD/Raruzor U7(D5)/COMTRADE/, печатая имя каждого\n"
               "  --log ФАЙЛ.log          журнал программы (по умолчанию raruzor-poll.log в\n"
               "                          ~/.local/share/VD/Raruzor U7(D5)/); пока его пишет другой\n"
               "                          опрос, рядом ФАЙЛ-PID.log\n"
               "  --write-settings ФАЙЛ   не опрашивать: записать файл настроек программы (.ini) с\n"
               "                          единственным, уже выбранным подключением — заданным\n\n"
               "Много измерителей:\n"
               "  --connections ФАЙЛ      список подключений (.ccnn, двоичный или текстовый): все\n"
               "                          подключения опрашиваются одновременно; измерители за одним\n"
               "                          последовательным портом — по очереди, по циклу каждый\n"
               "  --ids 0,3,5             только эти ID подключений (столбец «ID» списка подключений\n"
               "                          программы, ccnn-convert --list; по умолчанию все)\n"
               "  --log-dir ПАПКА         журнал каждого измерителя, raruzor-poll-<тип>-<номер>.log\n"
               "                          (по умолчанию папка журнала программы)\n\n"
               "Общие:\n"
               "  --password ТЕКСТ        пароль 1 уровня (нет); командную строку видят другие\n"
               "                          пользователи: для службы --password-file или файл INI\n"
               "  --password-file ФАЙЛ    пароль — первая строка ФАЙЛа\n"
               "  --attempts N            попыток на команду (3; для списка — его собственное, если не задано)\n"
               "  --stats-every K         один измеритель: статистика обмена каждые K циклов; список:\n"
               "                          строка сводки по измерителю каждые K его циклов (и в конце)\n"
               "  --no-oscillograms       не запрашивать осциллограммы\n"
               "  --archive ФАЙЛ|URL      записывать каждый цикл и 10-минутные строки в архив: файл\n"
               "                          SQLite или postgresql://пользователь[:пароль]@хост[:порт]/база\n"
               "                          [?sslmode=verify-full&...] (действуют PGPASSWORD и ~/.pgpass libpq)\n"
               "  --archive-spectra       хранить и спектры гармоник каждого цикла\n"
               "  --archive-keep-days N   циклы старше N суток удаляются (31; 0 — хранить все)\n"
               "  --mqtt URL              публиковать каждый цикл: mqtt[s]://[пользователь[:пароль]@]хост[:порт]/префикс\n"
               "                          (пользователь без пароля: пароль из RARUZOR_MQTT_PASSWORD)\n"
               "  --mqtt-ca ФАЙЛ          сертификаты удостоверяющих центров для mqtts://\n"
               "  --mqtt-queue N          сообщений хранится, пока брокер недоступен (10000)\n"
               "  --config ФАЙЛ.ini       параметры из файла ([Poll], [Archive], [Mqtt]); параметры\n"
               "                          командной строки важнее\n"
               "  -h, --help              эта справка\n"
               "  -v, --version           версия программы и её утилит\n\n"
               "Печатает имя журнала, каждый текст состояния и каждый записанный файл; при опросе списка\n"
               "строки измерителя начинаются с [<тип>-<номер>]. Ctrl+C (SIGINT, SIGTERM, SIGHUP) просит\n"
               "ядра остановиться после текущего обмена; второй сигнал сразу завершает опрос. При опросе\n"
               "списка опрос измерителя, прерванный неполадкой, начинается снова через 1 с, затем через\n"
               "вдвое больше, до 5 мин.\n\n"
               "Код завершения:\n"
               "  0       опрос остановлен (Ctrl+C или --cycles) без действующей ошибки, прошёл хотя бы\n"
               "          один цикл данных и каждый файл CSV или осциллограммы записан (и каждый цикл\n"
               "          записан в архив и передан брокеру); список: остановлен сигналом, у каждого\n"
               "          измерителя был цикл и ничего не потеряно\n"
               "  1       опрос закончился сам или с действующей ошибкой, не прошло ни одного цикла\n"
               "          данных, файл CSV или осциллограммы не записан, циклы не попали в архив или\n"
               "          к брокеру, или брокер отверг учётные данные; список: измеритель без цикла\n"
               "          или потерянные циклы\n"
               "  2       неверная командная строка или файл INI, нечитаемый список подключений,\n"
               "          неизвестный ID\n"
               "  128+N   второй сигнал N завершил опрос, не дожидаясь измерителей\n")
        .arg(PolledTypeIdents());
}

bool TPollOptions::Apply(const QStringList &arguments, int first, QString &error)
{
    auto value = [&](int &i) -> QString {
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(arguments[i]);
            return {};
        }
        return arguments[++i];
    };
    for (int i = first; i < arguments.size() && error.isEmpty(); ++i) {
        const QString &name = arguments[i];
        given_ << name;
        qint64 number = 0;
        auto numberOf = [&](qint64 low, qint64 high) {
            const QString text = value(i);
            if (error.isEmpty() && !ToInt(text, low, high, number))
                error = QStringLiteral("%1: %2 is not a number in %3..%4").arg(name, text).arg(low).arg(high);
            return number;
        };
        if (name == QLatin1String("--tcp")) {
            const QString target = value(i);
            const int colon = target.lastIndexOf(u':');
            if (colon <= 0 || !ToInt(target.mid(colon + 1), 1, 65535, number)) {
                error = QStringLiteral("--tcp wants HOST:PORT");
                break;
            }
            TcpHost = target.left(colon);
            TcpPort = quint16(number);
        } else if (name == QLatin1String("--serial")) {
            const QString target = value(i);
            const int colon = target.lastIndexOf(u':');
            SerialPort = colon > 0 ? target.left(colon) : target;
            if (colon > 0 && !ToInt(target.mid(colon + 1), 1, 4000000, number)) {
                error = QStringLiteral("--serial wants PORT[:BAUD]");
                break;
            }
            if (colon > 0)
                SerialBaud = quint32(number);
        } else if (name == QLatin1String("--device-type")) {
            DeviceType = value(i);
        } else if (name == QLatin1String("--device-address")) {
            DeviceAddress = quint16(numberOf(0, 65535));
        } else if (name == QLatin1String("--factory-number")) {
            FactoryNumber = qint32(numberOf(0, 2147483647));
        } else if (name == QLatin1String("--password")) {
            Password = value(i);
        } else if (name == QLatin1String("--password-file")) {
            PasswordFile = value(i);
        } else if (name == QLatin1String("--attempts")) {
            Attempts = int(numberOf(1, 1000));
        } else if (name == QLatin1String("--connect-attempts")) {
            ConnectAttempts = int(numberOf(1, 1000));
        } else if (name == QLatin1String("--cycles")) {
            Cycles = int(numberOf(0, 2147483647));
        } else if (name == QLatin1String("--csv-every")) {
            CsvEvery = int(numberOf(0, 2147483647));
        } else if (name == QLatin1String("--stats-every")) {
            StatsEvery = int(numberOf(0, 2147483647));
        } else if (name == QLatin1String("--out")) {
            OutDir = value(i);
        } else if (name == QLatin1String("--log")) {
            LogFile = value(i);
        } else if (name == QLatin1String("--write-settings")) {
            WriteSettings = value(i);
        } else if (name == QLatin1String("--save-oscillograms")) {
            SaveOscillograms = true;
        } else if (name == QLatin1String("--archive")) {
            Archive = value(i);
        } else if (name == QLatin1String("--archive-spectra")) {
            ArchiveSpectra = true;
        } else if (name == QLatin1String("--archive-keep-days")) {
            ArchiveKeepDays = int(numberOf(0, 100000));
        } else if (name == QLatin1String("--no-oscillograms")) {
            NoOscillograms = true;
        } else if (name == QLatin1String("--connections")) {
            Connections = value(i);
        } else if (name == QLatin1String("--ids")) {
            const QString text = value(i);
            Ids.clear();
            for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
                if (!ToInt(part.trimmed(), 0, 2147483647, number)) {
                    error = QStringLiteral("--ids: %1 is not a connection ID").arg(part.trimmed());
                    break;
                }
                Ids << int(number);
            }
        } else if (name == QLatin1String("--log-dir")) {
            LogDir = value(i);
        } else if (name == QLatin1String("--mqtt")) {
            MqttUrl = value(i);
            if (const TMqttTarget target = TMqttTarget::Parse(MqttUrl); error.isEmpty() && !target.IsValid())
                error = QStringLiteral("--mqtt: ") + WithoutPassword(target.Error(), MqttUrl);
        } else if (name == QLatin1String("--mqtt-ca")) {
            MqttCa = value(i);
        } else if (name == QLatin1String("--mqtt-queue")) {
            MqttQueue = int(numberOf(1, 10000000));
        } else if (name == QLatin1String("--config")) {
            value(i); // read before the rest
        } else {
            error = QStringLiteral("unknown option %1").arg(name);
        }
    }
    return error.isEmpty();
}

bool TPollOptions::Parse(const QStringList &arguments, QString &error)
{
    const qsizetype config = arguments.indexOf(QStringLiteral("--config"));
    if (config > 0) {
        if (config + 1 >= arguments.size()) {
            error = QStringLiteral("--config needs a value");
            return false;
        }
        Config = arguments[config + 1];
        QList<TConfigOption> fromFile;
        if (!ReadPollConfig(Config, fromFile, error))
            return false;
        // A meter named on the command line is polled alone: the file's list
        // and what goes with it are left out.
        const bool single =
            arguments.contains(QStringLiteral("--tcp")) || arguments.contains(QStringLiteral("--serial"));
        for (const TConfigOption &option : fromFile) {
            if (single && (option.Name == QLatin1String("--connections") || option.Name == QLatin1String("--ids") ||
                           option.Name == QLatin1String("--log-dir")))
                continue;
            QStringList one{QString(), option.Name};
            if (option.Value)
                one << *option.Value;
            if (!Apply(one, 1, error)) {
                error = QStringLiteral("%1: %2").arg(option.Origin, error);
                return false;
            }
        }
    }
    if (!Apply(arguments, 1, error))
        return false;

    const int modes = int(!TcpHost.isEmpty()) + int(!SerialPort.isEmpty()) + int(!Connections.isEmpty());
    if (modes != 1)
        error = QStringLiteral("give exactly one of --tcp, --serial and --connections");
    if (error.isEmpty() && Fleet()) {
        // what belongs to one meter says nothing of a fleet
        for (const char *single :
             {"--device-type", "--device-address", "--factory-number", "--connect-attempts", "--cycles", "--csv-every",
              "--out", "--save-oscillograms", "--log", "--write-settings"})
            if (given_.contains(QLatin1String(single))) {
                error = QStringLiteral("%1 is for one meter (--tcp, --serial), not --connections").arg(single);
                break;
            }
    } else if (error.isEmpty()) {
        for (const char *fleet : {"--ids", "--log-dir"})
            if (given_.contains(QLatin1String(fleet))) {
                error = QStringLiteral("%1 goes with --connections").arg(fleet);
                break;
            }
    }
    if (error.isEmpty() && Given(QStringLiteral("--password")) && Given(QStringLiteral("--password-file")))
        error = QStringLiteral("give one of --password and --password-file");
    if (error.isEmpty() && !PasswordFile.isEmpty())
        ReadPasswordFile(PasswordFile, Password, error);
    if (error.isEmpty() && !Archive.isEmpty() && !TArchiveTarget::Parse(Archive).IsValid())
        error = QStringLiteral("--archive: ") + WithoutPassword(TArchiveTarget::Parse(Archive).Error(), Archive);
    if (error.isEmpty() && !MqttCa.isEmpty())
        if (const QString ca = TMqttTarget::Parse(MqttUrl).CaFileError(MqttCa); !ca.isEmpty())
            error = QStringLiteral("--mqtt-ca: ") + ca;
    if (error.isEmpty() && !LogFile.isEmpty() && !LogFile.endsWith(QLatin1String(".log")))
        error = QStringLiteral("--log wants a file name ending in .log");
    // One meter: the default number would file every meter polled so as
    // number 1, all of them one meter in the archive and on the broker.
    if (error.isEmpty() && !Fleet() && WriteSettings.isEmpty() && !Given(QStringLiteral("--factory-number")) &&
        (!Archive.isEmpty() || !MqttUrl.isEmpty()))
        error = QStringLiteral("%1 needs --factory-number: the archive and the broker know a meter by its type and "
                               "factory number")
                    .arg(Archive.isEmpty() ? QStringLiteral("--mqtt") : QStringLiteral("--archive"));
    return error.isEmpty();
}

std::shared_ptr<TccnConnection> TPollOptions::MakeConnection(QString &error) const
{
    const int type = IndexOfIdent(DeviceTypeIdents(), DeviceType);
    if (type < 0 || !IsSupportedDeviceType(type)) {
        error = QStringLiteral("--device-type: %1 is not a meter the monitor polls").arg(DeviceType);
        return nullptr;
    }
    auto connection = std::make_shared<TccnConnection>();
    auto device = CreateDevice(DeviceTypeClassNames().at(type));
    device->FactoryNum = FactoryNumber;
    connection->SetCustomDevice(std::move(device));

    auto protocol = std::make_unique<TccnTarvelProtocol>();
    protocol->DeviceAddress = DeviceAddress;
    protocol->MaxAttemptCount = Attempts;
    connection->SetCustomDeviceProtocol(std::move(protocol));

    if (!TcpHost.isEmpty()) {
        auto mode = std::make_unique<TccnDirectTCPIPConMode>();
        mode->TCPIPInterface().IpAddress = TcpHost;
        mode->TCPIPInterface().IpPort = TcpPort;
        mode->MaxAttemptCountOnConnect = ConnectAttempts;
        connection->SetCustomConMode(std::move(mode));
    } else {
        auto mode = std::make_unique<TccnDirect232ConMode>();
        mode->ComPortInterface().PortName = SerialPort;
        mode->ComPortInterface().Baudrate = SerialBaud;
        mode->MaxAttemptCountOnConnect = ConnectAttempts;
        connection->SetCustomConMode(std::move(mode));
    }
    return connection;
}
