#include "protocol/R5Driver.h"

#include "protocol/R5Commands.h"

#include <QElapsedTimer>

#include <algorithm>
#include <climits>
#include <cstring>

TCustomDevice::TCustomDevice(const TPCASettings &settings) : channel_(CreatePCA(settings)) {}

TCustomDevice::~TCustomDevice() = default;

TCustomMeasurer::TCustomMeasurer(const TPCASettings &settings, quint8 deviceTypeCode)
    : TCustomDevice(settings), deviceTypeCode_(deviceTypeCode)
{}

bool TCustomR5Device::MatchesRequest(std::span<const quint8> answerHeader, std::span<const quint8> requestHeader) const
{
    return R5Frame::HeadersMatch(answerHeader, requestHeader);
}

TR5Timeouts TCustomR5Device::Timeouts() const
{
    constexpr TR5Timeouts unknown{15000, 30000};
    TPCACustom *channel = Channel();
    if (channel == nullptr)
        return unknown;
    TPCASettings settings{};
    if (channel->GetSettings(settings) != 0)
        return unknown;
    switch (PCALinkKind(settings)) {
    case plkSerial: {
        TR5Timeouts direct{1000, 5000};
        if (settings.ComPort.BaudRate > 0)
            direct.LineBitsPerSecond = static_cast<int>(std::min<quint32>(settings.ComPort.BaudRate, INT_MAX));
        return direct;
    }
    case plkPhoneModem: return {2000, 10000};
    case plkRadioModem: return {15000, 30000};
    case plkTcp: return {1000, 5000};
    case plkUnknown: break;
    }
    return unknown;
}

void TCustomR5Device::SetStopCheck(std::function<bool()> stopRequested)
{
    stopRequested_ = std::move(stopRequested);
    if (TPCACustom *channel = Channel())
        channel->SetStopCheck(stopRequested_);
}

bool TCustomR5Device::SendAndReceive(const QByteArray &frame, quint16 &dataLength, QByteArray &answer)
{
    dataLength = 0;
    answer.clear();
    if (StopRequested()) {
        SetErrorCode(r5eNoAnswer);
        return false;
    }
    ++counters_.Exchanges;
    TPCACustom *channel = Channel();
    // An answer that came after its time-out would be taken for this
    // request's: what is waiting on the line is stale.
    if (channel != nullptr)
        channel->Purge();
    quint32 written = 0;
    if (channel == nullptr || channel->Write(frame.constData(), static_cast<quint32>(frame.size()), written) != 0 ||
        written != static_cast<quint32>(frame.size())) {
        SetErrorCode(r5eWriteError);
        ++counters_.WriteErrors;
        return false;
    }

    R5Frame::THeader request{};
    std::memcpy(request.data(), frame.constData(), R5Frame::kHeaderSize);
    SetErrorCode(r5eReadError);
    try {
        const TR5Timeouts timeouts = Timeouts();
        R5Frame::TAnswerScanner scanner(
            request, [this](std::span<const quint8> a, std::span<const quint8> r) { return MatchesRequest(a, r); });
        // Each read has its own time-out, but a line that trickles bytes
        // (noise before a header, or an answer a byte at a time) would keep
        // the reads going: the whole exchange has a deadline, which grows by
        // the data's line time once the header tells its length.
        QElapsedTimer exchange;
        exchange.start();
        bool stopped = false;
        while (!scanner.Finished()) {
            if (StopRequested()) {
                stopped = true;
                scanner.FeedNothing();
                break;
            }
            const std::size_t frameBytes = R5Frame::kHeaderSize + (scanner.InData() ? scanner.DataLength() : 0);
            const qint64 left = timeouts.ExchangeMs(frameBytes) - exchange.elapsed();
            if (left <= 0) {
                scanner.FeedNothing();
                break;
            }
            const std::size_t wanted = scanner.Wanted();
            if (readBuffer_.size() < wanted)
                readBuffer_.resize(wanted);
            const int timeoutMs =
                static_cast<int>(std::min<qint64>(scanner.InData() ? timeouts.DataMs : timeouts.HeaderMs, left));
            quint32 got = 0;
            const int rc = channel->Read(readBuffer_.data(), static_cast<quint32>(wanted), timeoutMs, got);
            if (rc != 0 || got == 0)
                scanner.FeedNothing();
            else
                scanner.Feed(std::span<const quint8>(readBuffer_.data(), std::min<std::size_t>(got, wanted)));
        }
        counters_.SkippedBytes += scanner.Skipped();
        SetErrorCode(scanner.ErrorCode());
        if (!scanner.Received()) {
            // A read that a stop ended is no time-out of the line.
            if (stopped || StopRequested())
                return false;
            if (scanner.ErrorCode() == r5eBadChecksum)
                ++counters_.ChecksumErrors;
            else if (scanner.ErrorCode() == r5eNoAnswer)
                ++counters_.NoAnswers;
            return false;
        }
        ++counters_.Answers;
        ++counters_.MeterCodes[scanner.ErrorCode() & 0x7F];
        counters_.AddRoundTrip(exchange.nsecsElapsed() / 1000);
        dataLength = scanner.DataLength();
        const auto data = scanner.Data();
        answer = QByteArray(reinterpret_cast<const char *>(data.data()), static_cast<qsizetype>(data.size()));
        return true;
    } catch (...) {
        SetErrorCode(r5eReadError);
        return false;
    }
}

bool TCustomR5Device::Exchange(std::span<const quint8> data, qint32 &expectedLength, std::span<quint8> answerBuffer,
                               QByteArray *allocated, quint8 cmd, quint8 cmd1, quint8 iType, quint8 iCount,
                               quint16 param)
{
    SetErrorCode(0);
    const bool wantsLength = expectedLength != 0;
    const bool hasBuffer = !answerBuffer.empty();
    // A buffer smaller than the length asked for would be overrun: refuse it
    // like a missing one.
    if (wantsLength != hasBuffer ||
        (hasBuffer && (expectedLength < 0 || answerBuffer.size() < static_cast<std::size_t>(expectedLength))) ||
        data.size() > R5Frame::kMaxRequestData) {
        SetErrorCode(r5eBadParameters);
        expectedLength = 0;
        return false;
    }

    const R5Frame::THeader header =
        BuildHeader(static_cast<quint16>(data.size()), cmd, cmd1, iType, iCount, R5Frame::kStartTime, param);
    QByteArray frame(static_cast<qsizetype>(R5Frame::kHeaderSize + data.size()), Qt::Uninitialized);
    quint8 *out = reinterpret_cast<quint8 *>(frame.data());
    std::memcpy(out, header.data(), R5Frame::kFieldsSize);
    if (!data.empty())
        std::memcpy(out + R5Frame::kFieldsSize, data.data(), data.size());
    out[frame.size() - 1] = R5Frame::Checksum(std::span<const quint8>(out, static_cast<std::size_t>(frame.size() - 1)));

    quint16 received = 0;
    QByteArray answer;
    const bool gotAnswer = SendAndReceive(frame, received, answer);
    bool ok = false;
    if (gotAnswer) {
        const quint8 code = ErrorCode();
        if (expectedLength > 0)
            ok = received == expectedLength;
        else
            ok = code == r5cOk || code == r5cCurrentPeriod || code == r5cMorePartsFollow;
    }
    const qint32 wanted = expectedLength;
    expectedLength = gotAnswer ? received : 0;
    if (ok) {
        if (hasBuffer)
            std::memcpy(answerBuffer.data(), answer.constData(), static_cast<std::size_t>(wanted));
        else if (allocated != nullptr)
            *allocated = answer;
        return true;
    }
    if (ErrorCode() == 0)
        SetErrorCode(r5eReadError);
    return false;
}

bool TCustomR5Device::RemovePassword(int level, const QString &password)
{
    SetErrorCode(0);
    if (password.size() > kMaxPasswordLength) {
        SetErrorCode(r5ePasswordTooLong);
        return false;
    }
    QByteArray data;
    data.reserve(password.size() + 1);
    for (QChar ch : password) {
        const char16_t u = ch.unicode();
        const bool ok = (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
        if (!ok) {
            SetErrorCode(r5eBadPasswordChars);
            return false;
        }
        data.append(static_cast<char>(u));
    }
    data.append('\0');

    quint8 cmd1 = 0;
    if (level >= 0 && level <= 2)
        cmd1 = R5Frame::kCmd1PasswordLevels0To2;
    else if (level >= 3 && level <= 5)
        cmd1 = R5Frame::kCmd1PasswordLevels3To5;
    const R5Frame::THeader header =
        BuildHeader(static_cast<quint16>(data.size()), R5Frame::kCmdService, cmd1, 1, 1, R5Frame::kStartTime, 1);
    QByteArray frame(reinterpret_cast<const char *>(header.data()), R5Frame::kFieldsSize);
    frame.append(data);
    frame.append(static_cast<char>(R5Frame::Checksum(std::span<const quint8>(
        reinterpret_cast<const quint8 *>(frame.constData()), static_cast<std::size_t>(frame.size())))));

    quint16 received = 0;
    QByteArray answer;
    if (!SendAndReceive(frame, received, answer))
        return false;
    if (received == 0 && ErrorCode() == 0)
        return true;
    // An answer with data is no acceptance, even with code 0.
    if (ErrorCode() == 0)
        SetErrorCode(r5eReadError);
    return false;
}

QString R5ErrorText(int code)
{
    switch (code) {
    case 0: return QStringLiteral("Ошибки нет");
    case 1: return QStringLiteral("Данные не готовы");
    case 2: return QStringLiteral("Неверно поле Cmd");
    case 3: return QStringLiteral("Неверно поле Cmd1");
    case 4: return QStringLiteral("Нет данных");
    case 5: return QStringLiteral("Протокол провалов и перенапряжений пуст");
    case 6: return QStringLiteral("Неверное время начала (больше текущего времени прибора)");
    case 7: return QStringLiteral("Прибор занят");
    case 8: return QStringLiteral("нет данных с запрашиваемым интервалом усреднения");
    case 9: return QStringLiteral("карта данных не соответствует команде (интервалу)");
    case 10: return QStringLiteral("карта фаз не соответствует команде (интервалу)");
    case 11:
        return QStringLiteral("запись коэффициентов возможна только после установки прибора в режим \"Калибровка\"");
    case 12: return QStringLiteral("в данных о протоколе содержится последнее сообщение");
    case 13: return QStringLiteral("данных в протоколе за запрашиваемый интервал нет");
    case 14: return QStringLiteral("в ответе последние данные из протокола");
    case 15: return QStringLiteral("пароль не снят, посылка отклонена");
    case 16: return QStringLiteral("неверный формат данных");
    case 17: return QStringLiteral("неверный пароль");
    case 18: return QStringLiteral("запись данных возможна только после установки режима \"Стоп\"");
    case 19: return QStringLiteral("прибор уже запущен");
    case 20: return QStringLiteral("неверный номер модуля");
    case 21: return QStringLiteral("запрашиваемые данные не соответствуют версии прибора");
    case 22: return QStringLiteral("недопустимый интервал времени");
    case 23: return QStringLiteral("посылка содержит последние данные");
    case 24: return QStringLiteral("данные не найдены");
    case 25: return QStringLiteral("данных в архиве с полученного времени нет");
    case 26: return QStringLiteral("данные за текущий период");
    case 27: return QStringLiteral("недопустимая смена режима работы");
    case 100: return QStringLiteral("нарушение логики работы прибора");
    case 247: return QStringLiteral("Неверный CRC");
    case 248: return QStringLiteral("Отмена ввода пароля");
    case 249: return QStringLiteral("ошибка при задании параметров функции чтения данных");
    case 250: return QStringLiteral("недопустимые символы в пароле");
    case 251:
        return QStringLiteral("Пароль должен содержать максимум ") +
               QString::number(TCustomR5Device::kMaxPasswordLength) + QStringLiteral(" символов");
    case 252: return QStringLiteral("Был получен не заголовок посылки ответа");
    case 253: return QStringLiteral("Нет ответа от измерителя");
    case 254: return QStringLiteral("Ошибка записи в порт / записаны не все необходимые данные");
    case 255:
        return QStringLiteral("Ошибка чтения из порта / количество прочитанных данных несоответствует ожидаемому");
    default: return QStringLiteral("неизвестная ошибка. обратитесь к разработчикам");
    }
}

QString TM7::ErrorText(int code) const
{
    return R5ErrorText(code);
}

R5Frame::THeader TM7::BuildHeader(quint16 dataLength, quint8 cmd, quint8 cmd1, quint8 iType, quint8 iCount,
                                  const R5Frame::TStartTime &startTime, quint16 param) const
{
    R5Frame::TFields f;
    f.DataLength = dataLength;
    f.Cmd = cmd;
    f.Cmd1 = cmd1;
    f.DeviceNumber = DeviceNumber();
    f.DeviceTypeCode = DeviceTypeCode();
    f.IType = iType;
    f.ICount = iCount;
    f.StartTime = startTime;
    f.Param = param;
    f.ErrorField = 0;
    return R5Frame::BuildHeader(f);
}

std::unique_ptr<TR5OscillogramCommand> TM7::CreateOscillogramCommand()
{
    return nullptr;
}

std::unique_ptr<TR5OscillogramCommand> TM7_SQ::CreateOscillogramCommand()
{
    return std::make_unique<TR5OscillogramCommand>(this);
}

std::unique_ptr<TCustomR5Device> CreateR5Driver(TR5DriverKind kind, const TPCASettings &settings)
{
    switch (kind) {
    case TR5DriverKind::M7: return std::make_unique<TM7>(settings);
    case TR5DriverKind::M7_SQ: return std::make_unique<TM7_SQ>(settings);
    case TR5DriverKind::M7_L12020: return std::make_unique<TM7_L12020>(settings);
    case TR5DriverKind::M7_L22020: return std::make_unique<TM7_L22020>(settings);
    case TR5DriverKind::R5_AS2020: return std::make_unique<TR5_AS2020>(settings);
    case TR5DriverKind::R5_AS: break;
    }
    return std::make_unique<TR5_AS>(settings);
}
