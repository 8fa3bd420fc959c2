#include "Trace.h"

#include <QTime>
#include <cstdio>

namespace MeterSim {

void TTrace::Line(const QString &text) const
{
    if (!enabled_)
        return;
    const QByteArray line = (QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + text).toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
}

} // namespace MeterSim
