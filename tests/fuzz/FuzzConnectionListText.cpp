// The text form: the converter to the binary stream and the list reader on
// top; whatever converts renders back to text that converts to the same
// binary stream.

#include "FuzzInput.h"

#include "catalogue/ConnectionList.h"
#include "catalogue/PropertyStreamText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const QByteArray binary = PropertyStream::TextToBinary(text);
        try {
            const QByteArray rendered = PropertyStream::BinaryToText(binary);
            FUZZ_CHECK(PropertyStream::TextToBinary(rendered) == binary);
        } catch (const Exception &) {
            // A stream whose values the text form cannot hold is refused
            // cleanly; it came from text only through the reader's leniency.
        }
    } catch (const Exception &) {
    }

    TccnConnectionList list;
    try {
        list.LoadFromBytes(text, csfAny);
    } catch (const EccnConnectionList &) {
        return 0;
    }
    const QByteArray saved = list.SaveToBytes(csfText);
    TccnConnectionList again;
    again.LoadFromBytes(saved, csfText);
    FUZZ_CHECK(again.SaveToBytes(csfText) == saved);
    return 0;
}
