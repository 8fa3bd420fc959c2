// The poller's INI file: each key stands for one command-line option, so the
// file and the command line are read by the same code and a command-line
// option given after the file's simply replaces it.

#include "PollOptions.h"

#include "common/UrlPassword.h"

#include <QFileInfo>
#include <QSettings>

namespace {

// How a value may be named in an error text.
enum class TShown {
    Value,
    Nothing, // a password
    Url,     // a URL that may hold a password: shown without it
};

struct TKey
{
    const char *Key;    // "Section/Key"
    const char *Option; // its command-line option
    bool Switch;        // true/false: the option without a value, or nothing
    TShown Shown = TShown::Value;
};

constexpr TKey kKeys[] = {
    {"Poll/Connections", "--connections", false},
    {"Poll/Ids", "--ids", false},
    {"Poll/Password", "--password", false, TShown::Nothing},
    {"Poll/PasswordFile", "--password-file", false},
    {"Poll/Attempts", "--attempts", false},
    {"Poll/StatsEvery", "--stats-every", false},
    {"Poll/NoOscillograms", "--no-oscillograms", true},
    {"Poll/LogDir", "--log-dir", false},
    {"Archive/Target", "--archive", false, TShown::Url},
    {"Archive/Spectra", "--archive-spectra", true},
    {"Archive/KeepDays", "--archive-keep-days", false},
    {"Mqtt/Url", "--mqtt", false, TShown::Url},
    {"Mqtt/Ca", "--mqtt-ca", false},
    {"Mqtt/Queue", "--mqtt-queue", false},
};

// "[Poll] Attempts" for "Poll/Attempts".
QString Named(const QString &key)
{
    const qsizetype slash = key.indexOf(u'/');
    return slash < 0 ? key : QStringLiteral("[%1] %2").arg(key.left(slash), key.mid(slash + 1));
}

} // namespace

bool ReadPollConfig(const QString &fileName, QList<TConfigOption> &options, QString &error)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable()) {
        error = QStringLiteral("%1: cannot read the file").arg(fileName);
        return false;
    }
    QSettings ini(fileName, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        error = QStringLiteral("%1: not an INI file").arg(fileName);
        return false;
    }
    const QStringList keys = ini.allKeys();
    for (const QString &key : keys) {
        const auto known = std::find_if(std::begin(kKeys), std::end(kKeys),
                                        [&](const TKey &k) { return key == QLatin1String(k.Key); });
        if (known == std::end(kKeys)) {
            error = key.contains(u'/')
                        ? QStringLiteral("%1: unknown key %2").arg(fileName, Named(key))
                        : QStringLiteral("%1: key %2 outside [Poll], [Archive] or [Mqtt]").arg(fileName, key);
            return false;
        }
    }
    // In the table's order: the same for every file.
    for (const TKey &k : kKeys) {
        const QString key = QLatin1String(k.Key);
        if (!ini.contains(key))
            continue;
        // A value with commas comes as a list (Ids=1,4,7).
        const QVariant raw = ini.value(key);
        const QString value =
            (raw.typeId() == QMetaType::QStringList ? raw.toStringList().join(u',') : raw.toString()).trimmed();
        QString origin = QStringLiteral("%1: %2").arg(fileName, Named(key));
        if (k.Shown != TShown::Nothing)
            origin += u'=' + (k.Shown == TShown::Url ? HideUrlPassword(value) : value);
        if (value.isEmpty())
            continue; // the default
        if (!k.Switch) {
            options.append({QLatin1String(k.Option), value, origin});
            continue;
        }
        const QString lower = value.toLower();
        if (lower == QLatin1String("true") || lower == QLatin1String("yes") || lower == QLatin1String("1")) {
            options.append({QLatin1String(k.Option), std::nullopt, origin});
        } else if (lower != QLatin1String("false") && lower != QLatin1String("no") && lower != QLatin1String("0")) {
            error = QStringLiteral("%1: wants true or false").arg(origin);
            return false;
        }
    }
    return true;
}
