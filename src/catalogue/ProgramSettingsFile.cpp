#include "catalogue/ProgramSettingsFile.h"

#include "catalogue/ConnectionList.h"
#include "common/Contracts.h"
#include "common/UserFolders.h"

namespace {

const QString kConnections = QStringLiteral("Подключения");
const QString kList = QStringLiteral("Список");
const QString kSelected = QStringLiteral("Выбрано");

QString PreparedDefaultName()
{
    const QString folder = ProgramDataFolder();
    if (!folder.isEmpty())
        MakeOwnerOnlyFolder(folder);
    return folder + TProgramIniFile::DefaultFileName();
}

} // namespace

QString TProgramIniFile::DefaultFileName()
{
    return ProgramFileBaseName() + QStringLiteral(".ini");
}

TProgramIniFile::TProgramIniFile() : TProgramIniFile(PreparedDefaultName()) {}

// the archive's URL may hold its password
TProgramIniFile::TProgramIniFile(const QString &fileName) : TMemIniFile(fileName)
{
    SetOwnerOnly(true);
}

void TProgramIniFile::ReadConnectionList(TccnConnectionList *list) const
{
    CheckPreConditions(list != nullptr, "TProgramIniFile.ReadConnectionList");
    QByteArray bytes;
    if (!ReadBinary(kConnections, kList, bytes) || !list->TryLoadFromBytes(bytes, csfText))
        list->Clear();
}

void TProgramIniFile::WriteConnectionList(const TccnConnectionList *list)
{
    CheckPreConditions(list != nullptr, "TProgramIniFile.WriteConnectionList");
    WriteBinary(kConnections, kList, list->SaveToBytes(csfText));
}

int TProgramIniFile::ReadSelected() const
{
    return ReadInteger(kConnections, kSelected, -1);
}

void TProgramIniFile::WriteSelected(int conID)
{
    WriteInteger(kConnections, kSelected, conID);
}
