// The binary connection-list reader: any bytes either load or fail with the
// list's error; a list that loads writes back bytes that load to the same
// list.

#include "FuzzInput.h"

#include "catalogue/ConnectionList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    TccnConnectionList list;
    try {
        list.LoadFromBytes(bytes, csfBinary);
    } catch (const EccnConnectionList &) {
        return 0;
    }
    const QByteArray saved = list.SaveToBytes(csfBinary);
    TccnConnectionList again;
    again.LoadFromBytes(saved, csfBinary);
    FUZZ_CHECK(again.Count() == list.Count());
    FUZZ_CHECK(again.MaxID() == list.MaxID());
    FUZZ_CHECK(again.SaveToBytes(csfBinary) == saved);
    // The text form of a list that loads is itself readable.
    TccnConnectionList fromText;
    fromText.LoadFromBytes(list.SaveToBytes(csfText), csfText);
    FUZZ_CHECK(fromText.SaveToBytes(csfBinary) == saved);
    return 0;
}
