#include "engine/LinkStatistics.h"

#include <algorithm>

namespace {

bool IsMeterError(int code)
{
    return code != r5cOk && code != r5cCurrentPeriod && code != r5cMorePartsFollow;
}

QString Milliseconds(qint64 us)
{
    return QString::number(double(us) / 1000.0, 'f', 1);
}

QString Duration(qint64 ms)
{
    return ms < 0 ? QStringLiteral("нет") : QString::number(ms);
}

} // namespace

quint64 TLinkStatistics::Errors() const
{
    quint64 errors = FailedConnections() + Line.NoAnswers + Line.ChecksumErrors + Line.WriteErrors;
    for (int code = 0; code < int(Line.MeterCodes.size()); ++code)
        if (IsMeterError(code))
            errors += Line.MeterCodes[code];
    return errors - std::min(Line.MeterCodes[r5cPasswordNotRemoved], Line.PasswordRequests);
}

QString TLinkStatistics::ShortText() const
{
    return QStringLiteral("Обмен: %1 / ошибок %2").arg(Line.Exchanges).arg(Errors());
}

QStringList TLinkStatistics::Lines() const
{
    QStringList codes;
    for (int code = 1; code < int(Line.MeterCodes.size()); ++code)
        if (Line.MeterCodes[code] > 0)
            codes << QStringLiteral("%1 — %2").arg(code).arg(Line.MeterCodes[code]);

    QStringList lines{
        QStringLiteral("Запросов отправлено: %1").arg(Line.Exchanges),
        QStringLiteral("Ответов принято: %1").arg(Line.Answers),
        QStringLiteral("Запросов пароля: %1").arg(Line.PasswordRequests),
        QStringLiteral("Повторов запросов: %1").arg(Line.Retries),
        QStringLiteral("Переподключений: %1").arg(Line.Reconnects),
        QStringLiteral("Неудачных подключений: %1").arg(FailedConnections()),
        QStringLiteral("Нет ответа (тайм-аут): %1").arg(Line.NoAnswers),
        QStringLiteral("Ошибок контрольной суммы: %1").arg(Line.ChecksumErrors),
        QStringLiteral("Ошибок записи в канал: %1").arg(Line.WriteErrors),
        QStringLiteral("Пропущено байт при поиске заголовка: %1").arg(Line.SkippedBytes),
        QStringLiteral("Коды ответов измерителя (код — раз): %1")
            .arg(codes.isEmpty() ? QStringLiteral("нет") : codes.join(QStringLiteral(", "))),
    };
    if (Line.Answers > 0)
        lines << QStringLiteral("Время ответа, мс: мин. %1, сред. %2, макс. %3, посл. %4")
                     .arg(Milliseconds(Line.RoundTripMinUs), Milliseconds(Line.RoundTripTotalUs / qint64(Line.Answers)),
                          Milliseconds(Line.RoundTripMaxUs), Milliseconds(Line.RoundTripLastUs));
    else
        lines << QStringLiteral("Время ответа, мс: нет ответов");
    lines << QStringLiteral("Последний цикл данных, мс: %1").arg(Duration(LastCycleMs))
          << QStringLiteral("Последняя загрузка осциллограммы, мс: %1").arg(Duration(LastOscillogramMs))
          << QStringLiteral("Данные не готовы (циклов без данных): %1").arg(NoDataCycles)
          << QStringLiteral("Циклов опроса: %1").arg(Cycles);
    if (OscillogramsNotSaved > 0)
        lines << QStringLiteral("Осциллограмм не сохранено: %1").arg(OscillogramsNotSaved);
    return lines;
}
