// The settings file reader with its hexadecimal values, the saved
// connections kept in it and the window's 44-byte placement: any text
// loads; what loads writes back to text that loads to the same content; a
// placement that decodes encodes to the same bytes.

#include "FuzzInput.h"

#include "catalogue/ConnectionList.h"
#include "catalogue/ProgramSettingsFile.h"
#include "ui/WindowPlacement.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    TProgramIniFile ini{QString{}};
    ini.LoadFromBytes(bytes);
    const QByteArray written = ini.ToBytes();
    TMemIniFile again(QString{});
    again.LoadFromBytes(written);
    FUZZ_CHECK(again.ToBytes() == written);

    TccnConnectionList list;
    ini.ReadConnectionList(&list); // a damaged list is dropped quietly
    (void)ini.ReadSelected();

    for (const QString &section : ini.Sections()) {
        QByteArray value;
        if (ini.ReadBinary(section, QStringLiteral("MainForm"), value)) {
            TWindowPlacement placement{};
            if (DecodeWindowPlacement(value, placement))
                FUZZ_CHECK(EncodeWindowPlacement(placement) == value);
        }
    }
    TWindowPlacement placement{};
    if (DecodeWindowPlacement(bytes, placement))
        FUZZ_CHECK(EncodeWindowPlacement(placement) == bytes);
    return 0;
}
