#pragma once

// Text read back from the archive, for a terminal. An archive is a file any
// editor can change: a text cell may hold escape sequences that would drive
// the terminal, or line breaks that would pass for lines of our own.

#include <QString>

namespace Archive {

// The text without control characters (C0, DEL, C1) and without the marks
// that reorder text on screen, so that it shows as it reads. Line breaks go
// too unless kept: one cell stays on one line.
QString PrintableText(const QString &text, bool keepLineBreaks = false);

} // namespace Archive
