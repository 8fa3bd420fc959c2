#include "mqtt/MqttTarget.h"

#include <QUrl>

namespace {

QString Failure(const QString &reason)
{
    return QStringLiteral("Адрес брокера MQTT: %1; нужен вид mqtt[s]://[пользователь[:пароль]@]узел[:порт]/префикс")
        .arg(reason);
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
    if (!url.isValid())
        return fail(QStringLiteral("адрес не разобран (%1)").arg(url.errorString()));
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
        text += user_ + u'@';
    text += host_.contains(u':') ? u'[' + host_ + u']' : host_;
    if (port_ != (tls_ ? kTlsPort : kPlainPort))
        text += u':' + QString::number(port_);
    return text + u'/' + prefix_;
}
