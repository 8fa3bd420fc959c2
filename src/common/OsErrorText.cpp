#include "common/OsErrorText.h"

#include <QHash>

#ifndef _WIN32
#include <libintl.h>
#include <locale.h>
#endif

namespace {

// The C library's translation of its own English text, in whatever locale the
// program runs: a thread-local locale, so other threads are not disturbed.
QString FromSystemCatalogue(const QString &english)
{
#if defined(__GLIBC__)
    for (const char *name : {"ru_RU.UTF-8", "ru_RU.utf8"}) {
        const locale_t russian = ::newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, name, locale_t(nullptr));
        if (russian == locale_t(nullptr))
            continue;
        const QByteArray key = english.toUtf8();
        const locale_t previous = ::uselocale(russian);
        const QString text = QString::fromUtf8(::dgettext("libc", key.constData()));
        ::uselocale(previous);
        ::freelocale(russian);
        return text == english ? QString() : text;
    }
#else
    Q_UNUSED(english);
#endif
    return QString();
}

const QHash<QString, QString> &CommonTexts()
{
    static const QHash<QString, QString> texts{
        {QStringLiteral("No space left on device"), QStringLiteral("на устройстве не осталось места")},
        {QStringLiteral("Disk quota exceeded"), QStringLiteral("превышена дисковая квота")},
        {QStringLiteral("Permission denied"), QStringLiteral("доступ запрещён")},
        {QStringLiteral("Operation not permitted"), QStringLiteral("операция не позволена")},
        {QStringLiteral("No such file or directory"), QStringLiteral("нет такого файла или каталога")},
        {QStringLiteral("Read-only file system"), QStringLiteral("файловая система доступна только для чтения")},
        {QStringLiteral("Is a directory"), QStringLiteral("это каталог")},
        {QStringLiteral("Not a directory"), QStringLiteral("не каталог")},
        {QStringLiteral("File exists"), QStringLiteral("файл уже существует")},
        {QStringLiteral("File name too long"), QStringLiteral("слишком длинное имя файла")},
        {QStringLiteral("Too many open files"), QStringLiteral("слишком много открытых файлов")},
        {QStringLiteral("Input/output error"), QStringLiteral("ошибка ввода-вывода")},
        {QStringLiteral("Device or resource busy"), QStringLiteral("устройство или ресурс занято")},
        {QStringLiteral("No such device"), QStringLiteral("нет такого устройства")},
        {QStringLiteral("Connection refused"), QStringLiteral("в соединении отказано")},
        {QStringLiteral("Connection reset by peer"), QStringLiteral("соединение сброшено другой стороной")},
        {QStringLiteral("Connection timed out"), QStringLiteral("превышено время ожидания соединения")},
        {QStringLiteral("Network is unreachable"), QStringLiteral("сеть недоступна")},
        {QStringLiteral("No route to host"), QStringLiteral("нет маршрута до узла")},
        {QStringLiteral("Broken pipe"), QStringLiteral("обрыв канала")},
    };
    return texts;
}

} // namespace

QString OsErrorText(const QString &systemText)
{
    if (systemText.isEmpty())
        return systemText;
    if (const QString translated = FromSystemCatalogue(systemText); !translated.isEmpty())
        return translated;
    return CommonTexts().value(systemText, systemText);
}
