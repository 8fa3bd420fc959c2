#pragma once

// The archive named by an INI file in the poller's own form ([Archive]
// Target), so that the tools read what the service writes from its file as
// it is, and a server's password kept in a file stays off command lines,
// where every user of the computer can read it.

#include <QString>

namespace Archive {

// The file's [Archive] Target; its other sections and keys are left alone.
// False with `error` set (in English, starting with the file's name, never
// with a password) when the file cannot be read, is no INI file, lacks the
// key or names no archive.
bool ReadTargetConfig(const QString &fileName, QString &target, QString &error);

} // namespace Archive
