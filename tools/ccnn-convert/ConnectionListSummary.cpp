#include "ConnectionListSummary.h"

#include "catalogue/ConnectionList.h"

#include <QStringList>

namespace {

// The list window's parameter lines read "label: =value"; on one line the
// marker before the value is noise.
QString Params(const QStringList &lines)
{
    QStringList cleaned;
    for (const QString &line : lines)
        cleaned << QString(line).replace(QStringLiteral(": ="), QStringLiteral(": "));
    return cleaned.join(QStringLiteral(", "));
}

QString WithParams(const QString &name, const QString &params)
{
    return params.isEmpty() ? name : name + QStringLiteral(" (") + params + QStringLiteral(")");
}

} // namespace

QString ConnectionSummary(const TccnConnection &connection)
{
    QStringList fields{QString::number(connection.ConID)};
    const QString none = QStringLiteral("-");

    if (const TccnCustomDevice *device = connection.CustomDevice())
        fields << DeviceTypeNames().value(device->DeviceType()) + QStringLiteral(" №") +
                      QString::number(device->FactoryNum);
    else
        fields << none;

    if (const TccnCustomDeviceProtocol *protocol = connection.CustomDeviceProtocol())
        fields << WithParams(DeviceProtocolTypeNames().value(protocol->ProtocolType()),
                             Params(protocol->GetParamsList()));
    else
        fields << none;

    if (const TccnCustomConMode *mode = connection.CustomConMode()) {
        QStringList lines;
        if (mode->CustomCommInterface())
            lines << mode->CustomCommInterface()->GetParamsList();
        if (mode->CustomCommHardware())
            lines << mode->CustomCommHardware()->GetParamsList();
        fields << WithParams(ConModeTypeNames().value(mode->ConModeType()), Params(lines));
    } else {
        fields << none;
    }

    if (const TccnCustomDevice *device = connection.CustomDevice(); device && !device->Comment.isEmpty())
        fields << device->Comment;
    return fields.join(QStringLiteral("; "));
}
