#include "files/Comtrade.h"

#include "common/Cp1251.h"
#include "common/Exceptions.h"
#include "common/Contracts.h"
#include "common/OsErrorText.h"
#include "common/UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace Comtrade {

QStringList SplitLines(QByteArrayView cfg)
{
    const qsizetype end = cfg.indexOf('\0');
    const QString text = Cp1251::Decode(end < 0 ? cfg : cfg.first(end));
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch != u'\r' && ch != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

QString Field(const QStringList &lines, int line, int field)
{
    if (line < 0 || line >= lines.size() || field < 0)
        return {};
    const QString &text = lines[line];
    qsizetype from = 0;
    for (int k = 0; k < field; ++k) {
        from = text.indexOf(u',', from);
        if (from < 0)
            return {};
        ++from;
    }
    const qsizetype to = text.indexOf(u',', from);
    return text.mid(from, to < 0 ? -1 : to - from);
}

int32_t ParseDeviceNumber(const QString &field)
{
    const qsizetype marker = field.indexOf(u'N');
    bool ok = false;
    const int value = (marker < 0 ? field : field.mid(marker + 1)).trimmed().toInt(&ok, 10);
    return ok ? value : 1;
}

int ParseChannelCount(const QString &field, QChar marker)
{
    const qsizetype at = field.indexOf(marker);
    bool ok = false;
    const int value = (at < 0 ? field : field.left(at)).trimmed().toInt(&ok, 10);
    // A negative count is as unreadable as junk.
    return ok && value > 0 ? value : 0;
}

float ParseFloat(const QString &field, float fallback)
{
    bool ok = false;
    const double value = field.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
        return fallback;
    return static_cast<float>(value);
}

namespace {

// Digits only, at least one, at most maxDigits.
bool ParseDigits(QStringView text, int maxDigits, int &value)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    value = 0;
    for (QChar ch : text) {
        if (ch < u'0' || ch > u'9')
            return false;
        value = value * 10 + (ch.unicode() - u'0');
    }
    return true;
}

} // namespace

QDateTime ParseMoment(const QString &date, const QString &time)
{
    const QStringList d = date.split(u'/');
    const QStringList t = time.split(u':');
    if (d.size() != 3 || t.size() != 3)
        return {};
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, ms = 0;
    if (!ParseDigits(d[0], 2, day) || !ParseDigits(d[1], 2, month) || d[2].trimmed().size() != 4 ||
        !ParseDigits(d[2], 4, year))
        return {};
    const QString secondsText = t[2].trimmed();
    const qsizetype point = secondsText.indexOf(u'.');
    if (!ParseDigits(t[0], 2, hour) || !ParseDigits(t[1], 2, minute) ||
        !ParseDigits(QStringView(secondsText).left(point < 0 ? secondsText.size() : point), 2, second))
        return {};
    if (point >= 0) {
        // Fractions of a second down to milliseconds: ".1" is 100 ms.
        const QString fraction = secondsText.mid(point + 1).left(3).leftJustified(3, u'0');
        if (!ParseDigits(fraction, 3, ms))
            return {};
    }
    const QDate calendarDate(year, month, day);
    const QTime clock(hour, minute, second, ms);
    if (!calendarDate.isValid() || !clock.isValid())
        return {};
    return QDateTime(calendarDate, clock);
}

TConfig ParseConfig(QByteArrayView cfg, const QDateTime &fallbackMoment)
{
    TConfig config;
    config.Lines = SplitLines(cfg);
    const QStringList &lines = config.Lines;
    config.DeviceNumber = ParseDeviceNumber(Field(lines, 0, 1));
    config.AnalogCount = ParseChannelCount(Field(lines, 1, 1), u'A');
    config.StatusCount = ParseChannelCount(Field(lines, 1, 2), u'D');

    // Channel lines are read whatever the counts say; missing ones keep the
    // defaults.
    for (int c = 0; c < Signals; ++c) {
        const int line = 2 + c;
        TChannel &channel = config.Channels[c];
        channel.Name = Field(lines, line, 1).left(64);
        channel.Phase = Field(lines, line, 2).left(2);
        channel.Units = Field(lines, line, 4).left(32);
        channel.Multiplier = ParseFloat(Field(lines, line, 5), 1.0f);
        channel.Offset = ParseFloat(Field(lines, line, 6), 0.0f);
        channel.Primary = ParseFloat(Field(lines, line, 10), 1.0f);
        channel.Secondary = ParseFloat(Field(lines, line, 11), 1.0f);
        const QString flag = Field(lines, line, 12);
        channel.PrimarySecondary = flag.isEmpty() ? QLatin1Char(' ') : flag[0];
    }

    config.StartMoment = fallbackMoment;
    const QString date = Field(lines, StartTimeLine, 0);
    if (!date.isEmpty()) {
        const QDateTime moment = ParseMoment(date, Field(lines, StartTimeLine, 1).left(12));
        if (moment.isValid()) {
            config.StartMoment = moment;
            config.StartMomentRead = true;
        }
    }
    return config;
}

int DecodeData(QByteArrayView dat, TConfig &config, std::span<float> samples)
{
    CheckPreConditions(samples.size() == size_t(Signals) * Records, "Comtrade.DecodeData");
    if (config.AnalogCount <= 0)
        return 0;
    const int used = std::min(config.AnalogCount, Signals);
    for (int c = 0; c < used; ++c) {
        if (config.Channels[c].Secondary == 0.0f)
            config.Channels[c].Secondary = 1.0f;
    }

    // Sizes in 64 bits: the counts come from the file and may be absurd.
    const qint64 size = dat.size();
    const qint64 skippedChannels = 2 * (qint64(config.AnalogCount) - used);
    const qint64 statusBytes = 2 * ((qint64(config.StatusCount) + 15) / 16);
    const auto *bytes = reinterpret_cast<const uint8_t *>(dat.data());

    qint64 pos = 0;
    int record = 0;
    while (pos < size && record < Records) {
        if (size - pos < 8) // sample number and time stamp (not used)
            break;
        pos += 8;
        bool cut = false;
        for (int c = 0; c < used; ++c) {
            if (size - pos < 2) {
                cut = true;
                break;
            }
            const int16_t raw = static_cast<int16_t>(bytes[pos] | bytes[pos + 1] << 8);
            pos += 2;
            const TChannel &channel = config.Channels[c];
            const float value = static_cast<float>(raw * double(channel.Multiplier) + channel.Offset);
            const float sample = static_cast<float>(double(value) * channel.Primary / channel.Secondary);
            // Absurd factors must not put infinities into the chart's range.
            samples[size_t(c) * Records + record] = std::isfinite(sample) ? sample : 0.0f;
        }
        ++record;
        if (cut || size - pos < skippedChannels + statusBytes)
            break;
        pos += skippedChannels + statusBytes;
    }
    return record;
}

QString FileName(const QString &deviceClassName, int32_t deviceNumber, const QDateTime &start)
{
    return QStringLiteral("osci_%1_%2_%3.cfg")
        .arg(TGenerateNameUtilities::DeviceFilePrefix(deviceClassName))
        .arg(deviceNumber)
        .arg(start.toString(QStringLiteral("yyMMdd_HHmmsszzz")));
}

namespace {

constexpr int kStatusChannels = 4;
constexpr int kSamplesPerPeriod = 64;
constexpr double kFullScale = 32767;
const char *const kChannelNames[Signals] = {"Ua", "Ub", "Uc", "Uab", "Ubc", "Uca", "Ia", "Ib", "Ic"};
const char *const kChannelPhases[Signals] = {"A", "B", "C", "AB", "BC", "CA", "A", "B", "C"};

QString MomentText(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("dd/MM/yyyy,hh:mm:ss.zzz")) + QStringLiteral("000");
}

} // namespace

TEncodedRecord EncodeRecord(std::span<const float> samples, int records, const QString &station, int32_t deviceNumber,
                            const QDateTime &start, double frequency)
{
    CheckPreConditions(samples.size() == static_cast<size_t>(Signals * Records) && records >= 0 && records <= Records &&
                           frequency > 0,
                       "Comtrade.EncodeRecord");
    QStringList cfg;
    cfg << QStringLiteral("%1,N%2,1999").arg(station).arg(deviceNumber);
    cfg << QStringLiteral("%1,%2A,%3D").arg(Signals + kStatusChannels).arg(Signals).arg(kStatusChannels);
    // The factor as a reader parses it back, so that the raw values are
    // rounded against exactly that.
    std::array<float, Signals> factors{};
    for (int c = 0; c < Signals; ++c) {
        float peak = 0;
        for (float v : samples.subspan(static_cast<size_t>(c) * Records, records))
            peak = std::max(peak, std::isfinite(v) ? std::fabs(v) : 0.0f);
        const QString factor = QString::number(peak > 0 ? peak / kFullScale : 1.0, 'g', 9);
        factors[c] = ParseFloat(factor, 1);
        cfg << QStringLiteral("%1,%2,%3,,%4,%5,0,0,-32767,32767,1,1,P")
                   .arg(c + 1)
                   .arg(QLatin1StringView(kChannelNames[c]), QLatin1StringView(kChannelPhases[c]),
                        c < 6 ? QStringLiteral("V") : QStringLiteral("A"), factor);
    }
    for (int d = 1; d <= kStatusChannels; ++d)
        cfg << QStringLiteral("%1,Статус %1,,,0").arg(d);
    cfg << QString::number(frequency, 'g', 7);
    cfg << QStringLiteral("1");
    cfg << QStringLiteral("%1,%2").arg(QString::number(kSamplesPerPeriod * frequency, 'f', 3)).arg(records);
    cfg << MomentText(start);
    cfg << MomentText(start);
    cfg << QStringLiteral("BINARY");
    cfg << QStringLiteral("1");

    TEncodedRecord encoded;
    for (const QString &line : cfg)
        encoded.Cfg += Cp1251::Encode(line) + "\r\n";

    const int recordBytes = 8 + 2 * Signals + 2 * ((kStatusChannels + 15) / 16);
    encoded.Dat = QByteArray(static_cast<qsizetype>(records) * recordBytes, '\0');
    const double step = 1e6 / (kSamplesPerPeriod * frequency);
    char *p = encoded.Dat.data();
    for (int n = 0; n < records; ++n, p += recordBytes) {
        qToLittleEndian<quint32>(static_cast<quint32>(n + 1), p);
        qToLittleEndian<quint32>(static_cast<quint32>(std::llround(n * step)), p + 4);
        for (int c = 0; c < Signals; ++c) {
            const float v = samples[static_cast<size_t>(c) * Records + n];
            const double raw = std::isfinite(v) ? std::round(v / factors[c]) : 0.0;
            qToLittleEndian<qint16>(static_cast<qint16>(std::clamp(raw, -kFullScale, kFullScale)), p + 8 + 2 * c);
        }
    }
    return encoded;
}

} // namespace Comtrade

// ----------------------------------------------------------- TFileCOMTRADE

TFileCOMTRADE::TFileCOMTRADE(QByteArrayView dat, QByteArrayView cfg)
    : TFileCOMTRADE(dat, cfg, QDateTime::currentDateTime())
{}

TFileCOMTRADE::TFileCOMTRADE(QByteArrayView dat, QByteArrayView cfg, const QDateTime &now)
    : dat_(dat.toByteArray()),
      config_(Comtrade::ParseConfig(cfg, now)),
      samples_(size_t(Comtrade::Signals) * Comtrade::Records, 0.0f)
{
    Comtrade::DecodeData(dat_, config_, samples_);
}

const Comtrade::TChannel &TFileCOMTRADE::Channel(int index) const
{
    CheckPreConditions(index >= 0 && index < Comtrade::Signals, "TFileCOMTRADE.Channel");
    return config_.Channels[index];
}

float TFileCOMTRADE::Sample(int channel, int record) const
{
    CheckPreConditions(channel >= 0 && channel < Comtrade::Signals && record >= 0 && record < Comtrade::Records,
                       "TFileCOMTRADE.Sample");
    return samples_[size_t(channel) * Comtrade::Records + record];
}

QString TFileCOMTRADE::GetLine(int line) const
{
    return line >= 0 && line < config_.Lines.size() ? config_.Lines[line] : QString();
}

QString TFileCOMTRADE::GetField(int line, int field) const
{
    return Comtrade::Field(config_.Lines, line, field);
}

QString TFileCOMTRADE::GetFileName(const QString &deviceClassName) const
{
    const QString folder = ProgramDocumentsFolder() + QStringLiteral("COMTRADE/");
    QDir().mkpath(folder);
    return folder + Comtrade::FileName(deviceClassName, config_.DeviceNumber, config_.StartMoment);
}

namespace {

// A file written whole under a name of its own beside the final one, so that a
// failed write (a full disk) leaves a file saved before under the final name
// as it was. Removed again unless moved into place.
class TPendingFile
{
public:
    TPendingFile(const QString &finalPath, const QByteArray &bytes, QString *reason)
        // named by the process too: two programs saving into one folder
        // never write into each other's piece
        : finalPath_(finalPath), file_(finalPath + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid()))
    {
        QFile::remove(file_.fileName()); // a piece left by an earlier failed save
        if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered) || !WriteAll(bytes) ||
            !file_.flush()) {
            const QString why = OsErrorText(file_.errorString());
            // by name: QFile::remove() keeps a file whose last bytes could not be flushed
            file_.close();
            QFile::remove(file_.fileName());
            Fail(why, reason);
        }
        file_.close();
    }
    ~TPendingFile()
    {
        if (!moved_)
            QFile::remove(file_.fileName());
    }
    TPendingFile(const TPendingFile &) = delete;
    TPendingFile &operator=(const TPendingFile &) = delete;

    void MoveIntoPlace(QString *reason)
    {
        if (!file_.rename(finalPath_))
            Fail(OsErrorText(file_.errorString()), reason);
        moved_ = true;
    }

private:
    // Unbuffered: a write cut short (the disk filled part way) tells no
    // reason, the next one fails with the system's.
    bool WriteAll(const QByteArray &bytes)
    {
        for (qint64 done = 0; done < bytes.size();) {
            const qint64 written = file_.write(bytes.constData() + done, bytes.size() - done);
            if (written <= 0)
                return false;
            done += written;
        }
        return true;
    }

    [[noreturn]] void Fail(const QString &why, QString *reason) const
    {
        if (reason)
            *reason = why;
        throw EInOutError(QStringLiteral("Ошибка при записи файла (%1): %2").arg(finalPath_, why));
    }

    QString finalPath_;
    QFile file_;
    bool moved_ = false;
};

} // namespace

bool TFileCOMTRADE::SaveToFile(const QString &cfgPath, const TErrorSink &showError, QString *reason) const
{
    if (dat_.isEmpty() || config_.Lines.isEmpty()) {
        if (reason)
            *reason = QStringLiteral("осциллограмма пуста");
        return false;
    }
    if (!TGenerateNameUtilities::PrepareFolder(cfgPath, showError, reason))
        return false;

    QByteArray text;
    for (const QString &line : config_.Lines) {
        text += Cp1251::Encode(line);
        text += "\r\n";
    }
    const QFileInfo info(cfgPath);
    const QString datPath = info.suffix().isEmpty()
                                ? cfgPath + QStringLiteral(".dat")
                                : info.path() + u'/' + info.completeBaseName() + QStringLiteral(".dat");
    // both new files written before either old one goes
    TPendingFile cfg(cfgPath, text, reason);
    TPendingFile dat(datPath, dat_, reason);
    if (!TGenerateNameUtilities::RemoveOldFile(cfgPath, showError, reason) ||
        !TGenerateNameUtilities::RemoveOldFile(datPath, showError, reason))
        return false;
    dat.MoveIntoPlace(reason);
    cfg.MoveIntoPlace(reason);
    return true;
}

bool TFileCOMTRADE::Save(const QString &deviceClassName, const TErrorSink &showError) const
{
    return SaveToFile(GetFileName(deviceClassName), showError);
}

QString TFileCOMTRADE::SaveFailedText(const QString &cfgPath, const QString &reason)
{
    return QStringLiteral("Ошибка при сохранении осциллограммы в %1: %2").arg(cfgPath, reason);
}

QString TFileCOMTRADE::TrySave(const QString &deviceClassName) const
{
    const QString cfgPath = GetFileName(deviceClassName);
    QString reason;
    try {
        if (SaveToFile(cfgPath, {}, &reason))
            return {};
    } catch (const std::exception &error) {
        if (reason.isEmpty())
            reason = QString::fromUtf8(error.what());
    }
    return SaveFailedText(cfgPath, reason.isEmpty() ? QStringLiteral("ошибка записи") : reason);
}
