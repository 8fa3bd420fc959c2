#include "common/UrlPassword.h"

#include <QRegularExpression>
#include <algorithm>

TUrlPassword TUrlPassword::Split(const QString &url)
{
    TUrlPassword parts;
    const qsizetype scheme = url.indexOf(QLatin1String("://"));
    if (scheme < 0) {
        parts.Head = url;
        return parts;
    }
    const qsizetype start = scheme + 3;
    // A password with a '/' or '@' not encoded still ends at the last '@'
    // before the query: hiding too much is better than showing a password.
    qsizetype end = url.size();
    for (const QChar stop : {u'?', u'#'})
        if (const qsizetype at = url.indexOf(stop, start); at >= 0)
            end = std::min(end, at);
    const qsizetype at = end > start ? url.lastIndexOf(u'@', end - 1) : -1;
    if (at < start) {
        parts.Head = url.left(start);
        parts.Tail = url.mid(start);
        return parts;
    }
    parts.HasUserInfo = true;
    parts.Tail = url.mid(at + 1);
    const qsizetype colon = url.indexOf(u':', start);
    if (colon < 0 || colon > at) {
        parts.Head = url.left(at);
        return parts;
    }
    parts.Head = url.left(colon);
    parts.Password = url.mid(colon + 1, at - colon - 1);
    parts.HasPassword = true;
    return parts;
}

QString TUrlPassword::Joined() const
{
    QString url = Head;
    if (HasPassword)
        url += u':' + Password;
    if (HasUserInfo || HasPassword)
        url += u'@';
    return url + Tail;
}

QString TUrlPassword::WithoutPassword() const
{
    TUrlPassword copy = *this;
    copy.HasPassword = false;
    copy.Password.clear();
    return copy.Joined();
}

QString HideUrlPassword(const QString &url)
{
    TUrlPassword parts = TUrlPassword::Split(url);
    if (parts.HasPassword)
        parts.Password = QStringLiteral("***");
    // A client key's passphrase may come in the query of an archive URL.
    static const QRegularExpression passphrase(QStringLiteral("([?&]sslpassword=)[^&#]*"));
    return parts.Joined().replace(passphrase, QStringLiteral("\\1***"));
}
