#include "archive/ArchiveText.h"

namespace Archive {

namespace {

bool Control(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Bidirectional marks, embeddings, overrides and isolates.
bool Reorders(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString PrintableText(const QString &text, bool keepLineBreaks)
{
    QString printable;
    printable.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((keepLineBreaks && u == u'\n') || (!Control(u) && !Reorders(u)))
            printable += c;
    }
    return printable;
}

} // namespace Archive
