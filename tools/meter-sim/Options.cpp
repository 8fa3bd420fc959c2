#include "Options.h"

#include <QCommandLineParser>
#include <cmath>
#include <cstdio>

namespace MeterSim {

using namespace Qt::Literals::StringLiterals;

namespace {

const char *kDescription = "Имитатор трёхфазного измерителя показателей качества электроэнергии семейства\n"
                           "Tarvel. Отвечает по протоколу запросов и ответов измерителя на TCP-порту\n"
                           "петлевого адреса и, если задано, на последовательной линии правдоподобными,\n"
                           "медленно меняющимися измерениями и осциллограммами.\n"
                           "\n"
                           "Внесение неполадок (--fault можно повторять):\n"
                           "  --fault ВИД[,on=ЦЕЛЬ][,skip=M][,count=N][,every=K][,prob=P][,value=V]\n"
                           "  ВИД: garbage (V случайных байтов перед ответом, 5), checksum, silence,\n"
                           "       close, error (код измерителя V, 7), busy (7), notready (1), freeze\n"
                           "       (часы стоят), length (данные на V байтов длиннее, -1), errorfield\n"
                           "       (V больше 127, 200), delay (V мс, 1500), split (куски по V байтов, 7),\n"
                           "       dribble (по байту каждые V мс, 1000)\n"
                           "  ЦЕЛЬ: any (по умолчанию), datetime, settings, intervals, data, osc, password\n"
                           "  Правило пропускает M подходящих запросов, затем срабатывает на следующих N (1),\n"
                           "  на каждом K-м из них или на каждом с вероятностью P (с every или prob — без\n"
                           "  ограничения, если не задан count).\n"
                           "  Пример: --fault silence,on=data,skip=2,count=3 --fault garbage,prob=0.1";

void Print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

bool Fail(const QString &message)
{
    Print(stderr, u"tarvel-meter-sim: %1\n"_s.arg(message));
    return false;
}

bool ToInt(const QString &text, int low, int high, const QString &what, int &out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return Fail(u"%1 must be a whole number from %2 to %3, not '%4'"_s.arg(what).arg(low).arg(high).arg(text));
    out = value;
    return true;
}

bool ToDouble(const QString &text, double low, double high, const QString &what, double &out)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < low || value > high)
        return Fail(u"%1 must be a number from %2 to %3, not '%4'"_s.arg(what).arg(low).arg(high).arg(text));
    out = value;
    return true;
}

} // namespace

TParseResult ParseOptions(const QStringList &arguments, TSimOptions &o)
{
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromUtf8(kDescription));
    p.addHelpOption();
    p.addVersionOption();
    const QCommandLineOption port(
        u"port"_s, u"TCP-порт для приёма; 0 — любой свободный. Печатает \"LISTENING <порт>\"."_s, u"N"_s);
    const QCommandLineOption host(u"host"_s, u"Адрес для приёма (по умолчанию 127.0.0.1)."_s, u"АДРЕС"_s);
    const QCommandLineOption tty(
        u"tty"_s,
        u"Обслуживать и (без --port — только) эту последовательную линию, например один конец пары pty socat."_s,
        u"ПУТЬ"_s);
    const QCommandLineOption baud(u"baud"_s, u"Скорость последовательной линии (по умолчанию 115200)."_s,
                                  u"СКОРОСТЬ"_s);
    const QCommandLineOption lineRate(
        u"line-rate"_s,
        u"Выдавать каждый ответ на любой линии с темпом последовательной линии СКОРОСТЬ бит/с (10 битов на байт)."_s,
        u"СКОРОСТЬ"_s);
    const QCommandLineOption number(
        u"device-number"_s, u"Отвечать только на запросы к этому номеру устройства (по умолчанию к любому)."_s, u"N"_s);
    const QCommandLineOption type(
        u"device-type"_s,
        u"Отвечать только на запросы к этому коду типа устройства, 10..15 (по умолчанию к любому; 10 и 11 не записывают осциллограмм)."_s,
        u"КОД"_s);
    const QCommandLineOption firmware(
        u"firmware"_s,
        u"Версия встроенного ПО: четыре цифры (2218 передаётся как \"22.18\"; 2217 и ниже не записывают осциллограмм) или текст из пяти знаков, передаваемый как есть. По умолчанию 2218."_s,
        u"ВЕРСИЯ"_s);
    const QCommandLineOption password(
        u"password"_s,
        u"Защитить измеритель этим паролем 1 уровня (ошибка 15, пока он не передан, 17 — при неверном)."_s, u"ТЕКСТ"_s);
    const QCommandLineOption fastClock(
        u"fast-clock"_s, u"Часы идут вперёд на секунду за каждый запрос даты и времени, а не в реальном времени."_s);
    const QCommandLineOption clockStep(
        u"clock-step"_s,
        u"На сколько секунд быстрые часы уходят вперёд за запрос даты и времени (по умолчанию 1; при 3 каждое чтение — новый цикл)."_s,
        u"СЕКУНДЫ"_s);
    const QCommandLineOption speed(
        u"speed"_s,
        u"Без --fast-clock: часы, а с ними и измерения, идут в N раз быстрее реального времени, 1..1000 (по умолчанию 1)."_s,
        u"N"_s);
    const QCommandLineOption startTime(
        u"start-time"_s,
        u"Часы начинают с этого местного времени, ГГГГ-ММ-ДДTЧЧ:ММ:СС, а не с текущего (например, сутки назад, чтобы записать историю)."_s,
        u"ISO"_s);
    const QCommandLineOption unom(
        u"unom"_s,
        u"Номинальное фазное напряжение, В (по умолчанию 57.7; линейное следует из него: 100 при 57.7, иначе x корень из 3)."_s,
        u"ВОЛЬТЫ"_s);
    const QCommandLineOption inom(u"inom"_s, u"Номинальный ток входов измерителя, 1 или 5 А (по умолчанию 5)."_s,
                                  u"АМПЕРЫ"_s);
    const QCommandLineOption ratio(
        u"current-ratio"_s, u"Коэффициент трансформации тока; токи передаются в первичных амперах (по умолчанию 1)."_s,
        u"K"_s);
    const QCommandLineOption chunk(u"osc-chunk"_s, u"Байтов данных осциллограммы в части ответа (по умолчанию 4096)."_s,
                                   u"БАЙТЫ"_s);
    const QCommandLineOption steady(u"no-channel-faults"_s, u"Никогда не сообщать состояние канала, отличное от 0."_s);
    const QCommandLineOption seed(
        u"seed"_s, u"Начальное значение шума измерений и случайных неполадок (по умолчанию 1)."_s, u"N"_s);
    const QCommandLineOption fault(u"fault"_s, u"Правило неполадки, см. выше; можно повторять."_s, u"ПРАВИЛО"_s);
    const QCommandLineOption verbose(u"verbose"_s, u"Выводить каждый запрос и ответ в stderr."_s);
    const QCommandLineOption sentLog(
        u"sent-log"_s,
        u"Записывать каждый ответ с данными и каждую сработавшую неполадку в этот двоичный файл (для долгих испытаний)."_s,
        u"ФАЙЛ"_s);
    const QCommandLineOption parentDeath(
        u"die-with-parent"_s,
        u"Завершиться, когда завершится процесс, запустивший имитатор (Linux; для тестовых обвязок)."_s);
    p.addOptions({port,     host,      tty,       baud,  lineRate,  number,  type,       firmware,
                  password, fastClock, clockStep, speed, startTime, unom,    inom,       ratio,
                  chunk,    steady,    seed,      fault, verbose,   sentLog, parentDeath});

    if (!p.parse(arguments)) {
        Fail(p.errorText());
        return TParseResult::ExitError;
    }
    if (p.isSet(u"help"_s)) {
        Print(stdout, p.helpText());
        return TParseResult::ExitOk;
    }
    if (p.isSet(u"version"_s)) {
        Print(stdout, u"tarvel-meter-sim " MONITOR_VERSION "\n"_s);
        return TParseResult::ExitOk;
    }
    if (!p.positionalArguments().isEmpty()) {
        Fail(u"unexpected argument '%1'"_s.arg(p.positionalArguments().first()));
        return TParseResult::ExitError;
    }

    auto bad = [] { return TParseResult::ExitError; };
    int value = 0;
    double real = 0.0;
    if (p.isSet(port)) {
        if (!ToInt(p.value(port), 0, 65535, u"--port"_s, value))
            return bad();
        o.Port = static_cast<quint16>(value);
    }
    if (p.isSet(host) && !o.Host.setAddress(p.value(host))) {
        Fail(u"--host: '%1' is not an address"_s.arg(p.value(host)));
        return bad();
    }
    o.Tty = p.value(tty);
    if (p.isSet(baud)) {
        if (!ToInt(p.value(baud), 50, 4000000, u"--baud"_s, value))
            return bad();
        o.BaudRate = value;
    }
    if (p.isSet(number)) {
        if (!ToInt(p.value(number), 0, 65535, u"--device-number"_s, value))
            return bad();
        o.Meter.DeviceNumber = value;
    }
    if (p.isSet(type)) {
        if (!ToInt(p.value(type), 0, 65535, u"--device-type"_s, value))
            return bad();
        o.Meter.DeviceType = value;
    }
    if (p.isSet(firmware))
        o.Meter.Firmware = p.value(firmware);
    if (p.isSet(password)) {
        const QString text = p.value(password);
        const bool valid = text.size() <= 8 && std::all_of(text.begin(), text.end(), [](QChar c) {
                               return c.isDigit() || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
                           });
        if (!valid) {
            Fail(u"--password: at most 8 Latin letters and digits"_s);
            return bad();
        }
        o.Meter.Password = text;
    }
    o.Meter.FastClock = p.isSet(fastClock);
    if (p.isSet(clockStep) && !ToInt(p.value(clockStep), 1, 3600, u"--clock-step"_s, o.Meter.FastClockStep))
        return bad();
    if (p.isSet(speed) && !ToInt(p.value(speed), 1, 1000, u"--speed"_s, o.Meter.Speed))
        return bad();
    if (p.isSet(startTime)) {
        const QDateTime start = QDateTime::fromString(p.value(startTime), Qt::ISODate);
        if (!start.isValid()) {
            Fail(u"--start-time: '%1' is not a date and time such as 2026-03-01T12:00:00"_s.arg(p.value(startTime)));
            return bad();
        }
        o.Meter.StartTime = start.toLocalTime();
    }
    if (p.isSet(unom)) {
        if (!ToDouble(p.value(unom), 1.0, 1.0e6, u"--unom"_s, real))
            return bad();
        o.Meter.Nominals.PhaseVoltage = real;
        o.Meter.Nominals.LineVoltage = std::abs(real - 57.7) < 1e-9 ? 100.0 : real * std::sqrt(3.0);
    }
    if (p.isSet(inom)) {
        if (!ToInt(p.value(inom), 1, 5, u"--inom"_s, value) || (value != 1 && value != 5)) {
            Fail(u"--inom must be 1 or 5"_s);
            return bad();
        }
        o.Meter.Nominals.SecondaryCurrent = value;
    }
    if (p.isSet(ratio)) {
        if (!ToDouble(p.value(ratio), 1.0, 100000.0, u"--current-ratio"_s, real))
            return bad();
        o.Meter.Nominals.CurrentRatio = real;
    }
    if (p.isSet(chunk)) {
        if (!ToInt(p.value(chunk), 1, 65535, u"--osc-chunk"_s, value))
            return bad();
        o.Meter.OscillogramChunk = value;
    }
    o.Meter.ChannelFaults = !p.isSet(steady);
    if (p.isSet(seed)) {
        if (!ToInt(p.value(seed), 0, std::numeric_limits<int>::max(), u"--seed"_s, value))
            return bad();
        o.Meter.Seed = static_cast<quint32>(value);
    }
    o.Faults = TFaultPlan(o.Meter.Seed);
    for (const QString &rule : p.values(fault)) {
        if (const auto error = o.Faults.Add(rule)) {
            Fail(u"--fault %1: %2"_s.arg(rule, *error));
            return bad();
        }
    }
    if (p.isSet(lineRate)) {
        if (!ToInt(p.value(lineRate), 50, 4000000, u"--line-rate"_s, value))
            return bad();
        o.Faults.LineRate = value;
    }
    o.Verbose = p.isSet(verbose);
    o.SentLog = p.value(sentLog);
    o.DieWithParent = p.isSet(parentDeath);
    if (!o.Port && o.Tty.isEmpty())
        o.Port = 0;
    return TParseResult::Run;
}

} // namespace MeterSim
