#include "archive/ArchiveTarget.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

// libpq's connection keywords that a URL may set. Host, port, user, password
// and database come from the URL itself; client_encoding and the like belong
// to the driver.
const QStringList kLibpqKeys{
    QStringLiteral("sslmode"),
    QStringLiteral("sslrootcert"),
    QStringLiteral("sslcert"),
    QStringLiteral("sslkey"),
    QStringLiteral("sslpassword"),
    QStringLiteral("sslcrl"),
    QStringLiteral("sslcrldir"),
    QStringLiteral("sslsni"),
    QStringLiteral("sslcompression"),
    QStringLiteral("ssl_min_protocol_version"),
    QStringLiteral("ssl_max_protocol_version"),
    QStringLiteral("requirepeer"),
    QStringLiteral("channel_binding"),
    QStringLiteral("gssencmode"),
    QStringLiteral("krbsrvname"),
    QStringLiteral("gsslib"),
    QStringLiteral("passfile"),
    QStringLiteral("hostaddr"),
    QStringLiteral("connect_timeout"),
    QStringLiteral("application_name"),
    QStringLiteral("keepalives"),
    QStringLiteral("keepalives_idle"),
    QStringLiteral("keepalives_interval"),
    QStringLiteral("keepalives_count"),
    QStringLiteral("tcp_user_timeout"),
    QStringLiteral("target_session_attrs"),
    QStringLiteral("options"),
    QStringLiteral("service"),
};

const QString kStatementTimeout = QStringLiteral("statement_timeout");

// PostgreSQL's own form: a number of milliseconds, or with ms, s or min.
int TimeoutMs(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,7})\\s*(ms|s|min)?$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return -1;
    const qint64 number = match.captured(1).toLongLong();
    const QString unit = match.captured(2);
    const qint64 ms = unit == QLatin1String("min") ? number * 60000
                      : unit == QLatin1String("s") ? number * 1000
                                                   : number;
    return ms >= 100 && ms <= 24 * 3600 * 1000 ? int(ms) : -1;
}

} // namespace

TArchiveTarget TArchiveTarget::File(const QString &path)
{
    TArchiveTarget target;
    target.kind_ = TKind::SQLite;
    target.path_ = path;
    return target;
}

TArchiveTarget TArchiveTarget::Parse(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (!trimmed.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) &&
        !trimmed.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return File(trimmed);

    TArchiveTarget target;
    target.kind_ = TKind::PostgreSQL;
    const QUrl url(trimmed, QUrl::StrictMode);
    target.host_ = url.host();
    target.port_ = url.port(5432);
    target.user_ = url.userName();
    target.password_ = url.password();
    target.database_ = url.path().mid(1);
    if (!url.isValid() || target.host_.isEmpty() || target.database_.isEmpty() || target.database_.contains(u'/')) {
        target.error_ = QStringLiteral("Адрес сервера архива должен иметь вид "
                                       "postgresql://пользователь[:пароль]@узел[:порт]/база[?параметр=значение&...]");
        return target;
    }
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == kStatementTimeout) {
            target.statementTimeoutMs_ = TimeoutMs(value);
            if (target.statementTimeoutMs_ < 0) {
                target.error_ = QStringLiteral("Параметр statement_timeout адреса архива: нужно время от 100 мс "
                                               "до суток, например 30s или 30000");
                return target;
            }
        } else if (!kLibpqKeys.contains(key)) {
            target.error_ = QStringLiteral("Неизвестный параметр адреса архива: %1 (допустимы параметры соединения "
                                           "libpq, например sslmode, sslrootcert, connect_timeout, и "
                                           "statement_timeout)")
                                .arg(key.left(40));
            return target;
        } else if (value.contains(u';')) {
            // The driver reads ';' as the end of a parameter.
            target.error_ = QStringLiteral("Параметр %1 адреса архива не может содержать «;»").arg(key);
            return target;
        } else {
            target.parameters_.append({key, value});
        }
    }
    return target;
}

QString TArchiveTarget::Display() const
{
    switch (kind_) {
    case TKind::None: return {};
    case TKind::SQLite: return path_;
    case TKind::PostgreSQL: break;
    }
    QString text = QStringLiteral("postgresql://");
    if (!user_.isEmpty())
        text += user_ + (password_.isEmpty() ? QString() : QStringLiteral(":***")) + u'@';
    text += host_.contains(u':') ? u'[' + host_ + u']' : host_;
    if (port_ != 5432)
        text += u':' + QString::number(port_);
    text += u'/' + database_;
    QStringList query;
    for (const auto &[key, value] : parameters_)
        query << key + u'=' + (key == QLatin1String("sslpassword") ? QStringLiteral("***") : value);
    if (statementTimeoutMs_ != kDefaultStatementTimeoutMs)
        query << kStatementTimeout + u'=' + QString::number(statementTimeoutMs_);
    return query.isEmpty() ? text : text + u'?' + query.join(u'&');
}
