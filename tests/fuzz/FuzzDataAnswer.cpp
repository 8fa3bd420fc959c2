// The data-answer decoder with answers of any length and content, over
// nominals that are themselves arbitrary (zeros, NaN, infinities): it either
// stores a block or refuses the answer with its own error.

#include "FuzzInput.h"

#include "engine/DataAnswerDecoder.h"
#include "engine/RecordValues.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TFuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    TRecordValues values;
    TWriterVD writer(values, nullptr);
    if (flags & 1) {
        std::vector<float> nominals(VDSlot::NominalsCount, 0.0f);
        const QByteArray raw = input.Take(nominals.size() * sizeof(float));
        std::memcpy(nominals.data(), raw.constData(), size_t(raw.size()));
        writer.WriteNominals(nominals);
    }
    const TDataDescriptor descriptor{uint8_t((flags & 2) ? input.Byte() : 1), 1, 2, 3};
    const QByteArray answer = input.Rest();
    try {
        writer.WriteData(descriptor, answer);
        FUZZ_CHECK(descriptor[0] == 1 && answer.size() >= TWriterVD::DataAnswerLength);
    } catch (const EDataAnswer &) {
        FUZZ_CHECK(descriptor[0] != 1 || answer.size() < TWriterVD::DataAnswerLength);
    }
    return 0;
}
