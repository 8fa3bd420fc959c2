#include "mqtt/MqttTarget.h"

#include <QUrl>

namespace {

QString Failure(const QString &reason)
{
    return QStringLiteral("Адрес брокера MQTT: %1; нужен вид mqtt[s]://[пользователь[:пароль]@]узел[:порт]/префикс")
        .arg(reason);
}

// 127.0.0.0/8, ::1 and "localhost": a broker on this computer.
bool IsLoopback(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || host == QLatin1String("::1"))
        return true;
    const QStringList parts = host.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        bool ok = false;
        if (part.toUInt(&ok) > 255 || !ok)
            return false;
    }
    return parts[0].toUInt() == 127;
}

} // namespace

TMqttTarget TMqttTarget::Parse(const QString &text)
{
    TMqttTarget target;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return target;
    const auto fail = [&](const QString &reason) {
        target.error_ = Failure(reason);
        return target;
    };

    const QUrl url(trimmed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))
        return fail(QStringLiteral("схема должна быть mqtt:// или mqtts://"));
    // QUrl's own error text quotes the whole URL, password and all
    if (!url.isValid())
        return fail(url.errorString().startsWith(QLatin1String("Invalid port"))
                        ? QStringLiteral("адрес не разобран: неверный порт")
                        : QStringLiteral("адрес не разобран"));
    if (url.hasQuery() || url.hasFragment())
        return fail(QStringLiteral("после префикса не должно быть «?» или «#»"));
    target.tls_ = scheme == QLatin1String("mqtts");
    target.host_ = url.host();
    if (target.host_.isEmpty())
        return fail(QStringLiteral("не указан узел"));
    target.port_ = url.port(target.tls_ ? kTlsPort : kPlainPort);
    if (target.port_ <= 0)
        return fail(QStringLiteral("неверный порт"));
    // QUrl decodes %XX in the user and the password by default
    target.user_ = url.userName();
    target.password_ = url.password();
    if (target.user_.isEmpty() && !target.password_.isEmpty())
        return fail(QStringLiteral("пароль без имени пользователя"));
    if (!target.user_.isEmpty() && target.password_.isEmpty())
        target.password_ = qEnvironmentVariable(kPasswordVariable);

    QString prefix = url.path();
    if (prefix.startsWith(u'/'))
        prefix.remove(0, 1);
    if (prefix.endsWith(u'/'))
        prefix.chop(1);
    if (prefix.isEmpty())
        return fail(QStringLiteral("не указан префикс тем"));
    if (prefix.contains(u'+') || prefix.contains(u'#'))
        return fail(QStringLiteral("префикс тем не может содержать «+» или «#»"));
    target.prefix_ = prefix;
    return target;
}

QString TMqttTarget::Display() const
{
    if (host_.isEmpty())
        return {};
    QString text = tls_ ? QStringLiteral("mqtts://") : QStringLiteral("mqtt://");
    if (!user_.isEmpty())
        text += user_ + (password_.isEmpty() ? QStringLiteral("@") : QStringLiteral(":***@"));
    text += host_.contains(u':') ? u'[' + host_ + u']' : host_;
    if (port_ != (tls_ ? kTlsPort : kPlainPort))
        text += u':' + QString::number(port_);
    return text + u'/' + prefix_;
}

QString TMqttTarget::CaFileError(const QString &caFile) const
{
    if (caFile.isEmpty() || tls_)
        return {};
    return QStringLiteral("файл CA проверяет брокера только по TLS и нужен лишь с адресом mqtts://");
}

QString TMqttTarget::ClearTextWarning() const
{
    if (tls_ || user_.isEmpty() || IsLoopback(host_))
        return {};
    return QStringLiteral("MQTT: внимание: учётные данные уходят брокеру %1 открытым текстом; "
                          "для брокера не на этом компьютере используйте mqtts://")
        .arg(Display());
}
