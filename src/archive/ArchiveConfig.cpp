#include "archive/ArchiveConfig.h"

#include "archive/ArchiveTarget.h"

#include <QFileInfo>
#include <QSettings>

namespace Archive {

bool ReadTargetConfig(const QString &fileName, QString &target, QString &error)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable()) {
        error = QStringLiteral("%1: cannot read the file").arg(fileName);
        return false;
    }
    QSettings ini(fileName, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        error = QStringLiteral("%1: not an INI file").arg(fileName);
        return false;
    }
    // Read as the poller reads it: a value with commas comes as a list.
    const QVariant raw = ini.value(QStringLiteral("Archive/Target"));
    const QString value =
        (raw.typeId() == QMetaType::QStringList ? raw.toStringList().join(u',') : raw.toString()).trimmed();
    if (value.isEmpty()) {
        error = QStringLiteral("%1: no archive in it ([Archive] Target)").arg(fileName);
        return false;
    }
    if (const TArchiveTarget parsed = TArchiveTarget::Parse(value); !parsed.IsValid()) {
        error = QStringLiteral("%1: [Archive] Target: %2").arg(fileName, parsed.Error());
        return false;
    }
    target = value;
    return true;
}

} // namespace Archive
