#include "engine/NominalsCalculator.h"

#include "common/Contracts.h"

#include <bit>
#include <cmath>

using namespace VDSlot;

namespace {

const uint8_t *Bytes(QByteArrayView view)
{
    return reinterpret_cast<const uint8_t *>(view.data());
}

uint16_t U16(QByteArrayView v, int offset)
{
    return uint16_t(Bytes(v)[offset] | Bytes(v)[offset + 1] << 8);
}
int16_t I16(QByteArrayView v, int offset)
{
    return static_cast<int16_t>(U16(v, offset));
}
float F32(QByteArrayView v, int offset)
{
    const uint8_t *b = Bytes(v) + offset;
    return std::bit_cast<float>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

// Offsets of the settings answer.
constexpr int sUnomPhase = 0;
constexpr int sPhaseLimitsA = 4;
constexpr int sPhaseLimitsB = 20;
constexpr int sUnomLine = 58;
constexpr int sLineLimitsA = 62;
constexpr int sLineLimitsB = 78;
constexpr int sValue126 = 126;
constexpr int sCurrentScaled = 131;
constexpr int sNominalFrequency = 132;
constexpr int sFreqLimits = 134;
constexpr int sUnbalanceLimits = 142;
constexpr int sKuLimit1 = 150;
constexpr int sKunLimits1 = 152;
constexpr int sKuLimit2 = 250;
constexpr int sKunLimits2 = 252;
constexpr int sHarmLimits3 = 350;
constexpr int sHarmLimits4 = 448;
constexpr int sCurrentScale = 546;
constexpr int dtNominalCurrent = 82;

const QString kBadNominals = QStringLiteral("Неверный формат данных о номиналах напряжения и тока.");
const QString kConversionContext = QStringLiteral("TRequestThreadVD.VDSetingsToMainSetings: ");

// A limit as a voltage: the nominal moved by the deviation in hundredths of
// a percent; an unset limit (0) stays 0 so it never triggers.
float AbsoluteLimit(float nominal, int16_t raw)
{
    if (raw == 0)
        return 0.0f;
    const double value = nominal * (1.0 + raw / 10000.0);
    const float stored = static_cast<float>(value);
    if (std::isnan(value))
        throw ENominalsConversion(kConversionContext + QStringLiteral("Недопустимая операция с плавающей точкой"));
    if (!std::isfinite(stored))
        throw ENominalsConversion(kConversionContext + QStringLiteral("Переполнение при операции с плавающей точкой"));
    return stored;
}

} // namespace

bool TNominalsCalculator::Calculate(QByteArrayView settings, QByteArrayView dateTime)
{
    message_.clear();
    results_ = {};
    if (settings.size() < SettingsLength || dateTime.size() < DateTimeLength) {
        message_ = kBadNominals;
        return false;
    }
    const int inom = Bytes(dateTime)[dtNominalCurrent];
    if (inom != 1 && inom != 5) {
        message_ = kBadNominals;
        return false;
    }
    const float scale = F32(settings, sCurrentScale);
    results_[0] = F32(settings, sUnomPhase);
    results_[1] = F32(settings, sUnomLine);
    results_[2] = Bytes(settings)[sCurrentScaled] == 0 ? static_cast<float>(double(inom) * scale) : float(inom);
    results_[3] = float(inom);
    results_[4] = F32(settings, sValue126);
    results_[5] = scale;
    return true;
}

TNominalsBlock BuildNominalsBlock(const TNominalsCalculator &calculator, QByteArrayView settings)
{
    CheckPreConditions(settings.size() >= TNominalsCalculator::SettingsLength, "BuildNominalsBlock");

    TNominalsBlock block{};
    const auto &r = calculator.Results();
    for (int k = 0; k < 6; ++k)
        block[k] = r[k];

    auto hundredths = [](double raw) { return static_cast<float>(raw / 100.0); };
    for (int k = 0; k < 8; ++k) {
        const int16_t phaseA = I16(settings, sPhaseLimitsA + 2 * k);
        const int16_t lineA = I16(settings, sLineLimitsA + 2 * k);
        const int16_t phaseB = I16(settings, sPhaseLimitsB + 2 * k);
        const int16_t lineB = I16(settings, sLineLimitsB + 2 * k);
        block[DevLimitsPhaseA + k] = hundredths(phaseA);
        block[DevLimitsLineA + k] = hundredths(lineA);
        block[DevLimitsPhaseB + k] = hundredths(phaseB);
        block[DevLimitsLineB + k] = hundredths(lineB);
        block[AbsLimitsPhaseA + k] = AbsoluteLimit(r[0], phaseA);
        block[AbsLimitsLineA + k] = AbsoluteLimit(r[1], lineA);
        block[AbsLimitsPhaseB + k] = AbsoluteLimit(r[0], phaseB);
        block[AbsLimitsLineB + k] = AbsoluteLimit(r[1], lineB);
    }

    const double nominalFrequency = U16(settings, sNominalFrequency) / 1000.0;
    for (int k = 0; k < 4; ++k) {
        const int16_t raw = I16(settings, sFreqLimits + 2 * k);
        block[FreqDevLimits + k] = hundredths(raw);
        block[FreqAbsLimits + k] = static_cast<float>(nominalFrequency + raw / 100.0);
        block[UnbalanceLimits + k] = hundredths(U16(settings, sUnbalanceLimits + 2 * k));
    }

    block[KuLimit1] = hundredths(U16(settings, sKuLimit1));
    block[KuLimit2] = hundredths(U16(settings, sKuLimit2));
    for (int h = 0; h < HarmonicCount; ++h) {
        block[KunLimits1 + h] = hundredths(U16(settings, sKunLimits1 + 2 * h));
        block[KunLimits2 + h] = hundredths(U16(settings, sKunLimits2 + 2 * h));
        block[HarmLimits3 + h] = hundredths(U16(settings, sHarmLimits3 + 2 * h));
        block[HarmLimits4 + h] = hundredths(U16(settings, sHarmLimits4 + 2 * h));
    }
    return block;
}
