#include "archive/ArchiveTarget.h"

#include <QUrl>

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
    if (!url.isValid() || target.host_.isEmpty() || target.database_.isEmpty() || target.database_.contains(u'/'))
        target.error_ = QStringLiteral("Адрес сервера архива должен иметь вид "
                                       "postgresql://пользователь[:пароль]@узел[:порт]/база");
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
    return text + u'/' + database_;
}
