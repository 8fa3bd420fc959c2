#pragma once

// The poller's output: whole lines, each written at once so that lines from
// the archive threads and the main thread never mix.

#include <QString>
#include <cstdio>

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // see the usage text
constexpr int kExitUsage = 2;

inline void Print(const QString &text)
{
    const QByteArray line = (text + u'\n').toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}
