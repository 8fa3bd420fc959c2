// The driver's answer receiver behind a channel that plays a script made of
// the fuzzer's bytes: raw noise, well-formed answers to the request just
// written (so the fuzzer gets past the header search), answers with a broken
// checksum, silences, all handed out in pieces of random size. Three kinds of
// exchange run over it: a fixed-length answer, an any-length answer and the
// oscillogram's part-by-part download. Property: an accepted answer is the
// tail of what the line gave, with a valid checksum and the length its
// header states.

#include "FuzzInput.h"

#include "protocol/R5Commands.h"
#include "protocol/R5Driver.h"

#include <deque>

namespace {

class TScriptedChannel : public TPCACustom
{
public:
    explicit TScriptedChannel(TFuzzInput &input) : TPCACustom(TPCASettings{}), input_(input) { SetLastError(0); }

    int Connect() override { return 0; }
    void Purge() override {}

    int Write(const void *buffer, quint32 count, quint32 &written) override
    {
        request_ = QByteArray(static_cast<const char *>(buffer), qsizetype(count));
        given_.clear();
        PlayNextStep();
        written = count;
        return 0;
    }

    int Read(void *buffer, quint32 capacity, int, quint32 &bytesRead) override
    {
        bytesRead = 0;
        if (pending_.isEmpty() && !input_.Empty() && input_.Byte() % 4 == 0)
            PlayNextStep(); // more on the line while the answer is read
        if (pending_.isEmpty()) {
            SetLastError(pceRead);
            return -1;
        }
        const quint32 piece = std::min<quint32>({capacity, quint32(pending_.size()), 1u + input_.Byte() * 97u});
        std::memcpy(buffer, pending_.constData(), piece);
        given_.append(pending_.left(piece));
        pending_.remove(0, piece);
        bytesRead = piece;
        return 0;
    }

    const QByteArray &Given() const { return given_; }

private:
    void PlayNextStep()
    {
        switch (input_.Byte() % 5) {
        case 0: pending_ += input_.Take(input_.Word() % 300); break;       // noise
        case 1: pending_ += AnswerFrame(false); break;                     // a good answer
        case 2: pending_ += AnswerFrame(true); break;                      // checksum broken
        case 3: pending_ += AnswerFrame(false).left(input_.Word()); break; // cut short
        default: break;                                                    // silence
        }
    }

    // An answer to the last request with the code and data the script says.
    QByteArray AnswerFrame(bool breakChecksum)
    {
        if (request_.size() < qsizetype(R5Frame::kHeaderSize))
            return {};
        R5Frame::TFields fields = R5Frame::ReadFields(
            std::span<const quint8>(reinterpret_cast<const quint8 *>(request_.constData()), R5Frame::kFieldsSize));
        fields.ErrorField = input_.Byte() % 40;
        const QByteArray data = input_.Take(input_.Word() % 6000);
        QByteArray frame = R5Frame::BuildFrame(
            fields, std::span<const quint8>(reinterpret_cast<const quint8 *>(data.constData()), size_t(data.size())),
            R5Frame::kMaxAnswerData);
        if (breakChecksum)
            frame[frame.size() - 1] = char(frame.back() ^ 0x5A);
        return frame;
    }

    TFuzzInput &input_;
    QByteArray request_;
    QByteArray pending_;
    QByteArray given_;
};

// What the driver accepted is the end of what the line gave.
void CheckAccepted(const TScriptedChannel &channel, qsizetype dataLength)
{
    const QByteArray &given = channel.Given();
    const qsizetype frameSize = qsizetype(R5Frame::kHeaderSize) + dataLength;
    FUZZ_CHECK(given.size() >= frameSize);
    const auto frame = std::span<const quint8>(
        reinterpret_cast<const quint8 *>(given.constData()) + given.size() - frameSize, size_t(frameSize));
    FUZZ_CHECK(R5Frame::ReadFields(frame).DataLength == dataLength);
    FUZZ_CHECK(R5Frame::ChecksumValid(frame));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TFuzzInput input(data, size);
    TM7_SQ device(TPCASettings{});
    auto channel = std::make_unique<TScriptedChannel>(input);
    TScriptedChannel *line = channel.get();
    device.UseChannel(std::move(channel));
    device.SetDeviceNumber(input.Word());

    for (int exchange = 0; exchange < 8 && !input.Empty(); ++exchange) {
        switch (input.Byte() % 3) {
        case 0: {
            std::array<quint8, 64> answer{};
            qint32 expected = 1 + input.Byte() % 64;
            if (device.Exchange({}, expected, answer, nullptr, R5Frame::kCmdService, R5Frame::kCmd1Settings, 1, 1))
                CheckAccepted(*line, expected);
            break;
        }
        case 1: {
            qint32 expected = 0;
            QByteArray answer;
            if (device.Exchange({}, expected, {}, &answer, R5Frame::kCmdMeasurements, R5Frame::kCmd1Data, 2, 3)) {
                FUZZ_CHECK(answer.size() == expected);
                CheckAccepted(*line, expected);
            }
            break;
        }
        default: {
            auto oscillogram = device.CreateOscillogramCommand();
            oscillogram->OscPeriods = 2 + input.Byte() % 19;
            for (int part = 0; part < 6 && !input.Empty(); ++part) {
                oscillogram->Execute();
                FUZZ_CHECK(oscillogram->Parts.size() <= TR5OscillogramCommand::kMaxPartsSize);
                if (oscillogram->ErrorCode() != r5cMorePartsFollow)
                    break;
            }
            break;
        }
        }
    }
    return 0;
}
