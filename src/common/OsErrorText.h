#pragma once

// The system's error texts (QFile::errorString(), strerror) go into Russian
// status lines and messages: this gives them in Russian. The C library's own
// Russian catalogue is used where the system has it; otherwise the common
// errors (no space, access denied, no such file, connection refused, ...) are
// translated here, and any other text is kept as it came.

#include <QString>

QString OsErrorText(const QString &systemText);
