// The COMTRADE reader: the first two bytes give the configuration's length,
// the configuration follows, the rest is the data file. Whatever it is given,
// it yields 9 x 1280 samples and never reads outside either file.

#include "FuzzInput.h"

#include "files/Comtrade.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TFuzzInput input(data, size);
    const QByteArray cfg = input.Take(input.Word());
    const QByteArray dat = input.Rest();
    const TFileCOMTRADE file(dat, cfg, QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)));
    FUZZ_CHECK(file.Samples().size() == size_t(Comtrade::Signals) * Comtrade::Records);
    FUZZ_CHECK(file.StartMoment().isValid());
    for (int c = 0; c < Comtrade::Signals; ++c)
        (void)file.Channel(c).Name.size();
    return 0;
}
