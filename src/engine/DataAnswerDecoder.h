#pragma once

// Decoder of the Tarvel data answer (request 01 01 02 03) into the data block
// of the measurement record, and the copy of an oscillogram into its samples.

#include "common/Exceptions.h"
#include "engine/MeasurementRecord.h"

// The data answer cannot be decoded; the record is left as it was.
class EDataAnswer : public Exception
{
public:
    using Exception::Exception;
};

// The descriptor names a data group this decoder does not know.
class EWrongDataIndex : public EDataAnswer
{
public:
    using EDataAnswer::EDataAnswer;
};

// The answer ends before the last value the decoder reads. The thread
// reports it as a status error; nothing of the answer has been stored.
class EShortDataAnswer : public EDataAnswer
{
public:
    using EDataAnswer::EDataAnswer;
};

class TWriterVD : public TDataStorageWriter
{
public:
    // Bytes 0..4593 of the answer are read (the last one is the high byte of
    // the three-phase apparent power of the fundamental).
    static constexpr qsizetype DataAnswerLength = 4594;

    using TDataStorageWriter::TDataStorageWriter;

    // Raises EWrongDataIndex when "CMD" is not 1 and EShortDataAnswer when
    // the answer is shorter than DataAnswerLength; otherwise stores every
    // value and its derived quantities in one block write and tells the data
    // changed.
    void WriteData(const TDataDescriptor &descriptor, QByteArrayView answer) override;
    // Exactly 9 x 1280 samples (contract).
    void WriteOscillogram(std::span<const float> samples) override;
};
