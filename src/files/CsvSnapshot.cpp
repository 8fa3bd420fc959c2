#include "files/CsvSnapshot.h"

#include "common/Cp1251.h"
#include "common/Exceptions.h"
#include "common/Contracts.h"
#include "common/OsErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kValueCount = 14275;

struct TDeviceTexts
{
    const char *className;
    const char *prefix;
    const char *typeText;
};

constexpr TDeviceTexts kDeviceTexts[] = {
    {"TccnM7Dev", "m7(v4_6)", "Tarvel-M7(v4-6)"},
    {"TccnM7SQDev", "m7_sq", "Tarvel-M7(SQ v10+)"},
    {"TccnM7L12020Dev", "m7_l1(v20)", "Tarvel-M7(L1 v20+)"},
    {"TccnM7L22020Dev", "m7_l2(v20)", "Tarvel-M7(L2 v20+)"},
    {"TccnR5AS2020Dev", "r5AS(v20)", "Tarvel-R5 (A/S v20+)"},
};
constexpr TDeviceTexts kOtherDevice = {"", "r5AS(v4_6)", "Tarvel-R5 (A/S v4-6)"};

const TDeviceTexts &TextsFor(const QString &className)
{
    for (const auto &texts : kDeviceTexts)
        if (className == QLatin1String(texts.className))
            return texts;
    return kOtherDevice;
}

// A report block: columns 0..width-1 of rows 1..height, all cells empty.
TCsvFile::TMatrix EmptyMatrix(int columns, int rows)
{
    return TCsvFile::TMatrix(columns, std::vector<TCsvFile::TCell>(rows));
}

} // namespace

// ---------------------------------------------------------------- TCsvFile

TCsvFile::TCsvFile(const QString &fileName) : fileName_(fileName)
{
    CheckPreConditions(QFileInfo(fileName).fileName().endsWith(QLatin1String(".csv"), Qt::CaseSensitive),
                       "TCsvFile.Create");
    CheckPostConditions(!opened_ && !fileName_.isEmpty(), "TCsvFile.Create");
}

TCsvFile::~TCsvFile()
{
    Close();
}

bool TCsvFile::Open()
{
    Close();
    file_.setFileName(fileName_);
    // unbuffered: each cell reaches the disk as it is written, and a write
    // error shows at once rather than at Commit
    opened_ = file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return opened_;
}

bool TCsvFile::Commit()
{
    if (!opened_)
        return false;
    opened_ = false;
    return file_.commit();
}

void TCsvFile::Close()
{
    if (file_.isOpen()) {
        // a cancelled commit removes the temporary file and leaves the name alone
        file_.cancelWriting();
        file_.commit();
    }
    opened_ = false;
}

void TCsvFile::WriteBytes(const QByteArray &bytes)
{
    if (!opened_)
        return;
    // a write cut short (the disk filled part way) tells no reason; the next
    // one fails with the system's
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file_.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            throw EInOutError(QStringLiteral("Ошибка записи в файл %1").arg(fileName_));
        done += written;
    }
}

void TCsvFile::NewLine()
{
    WriteBytes(QByteArrayLiteral("\r\n"));
}

QChar TCsvFile::SystemDecimalSeparator()
{
    const QString point = QLocale().decimalPoint(); // the system locale unless the program set another
    return point.isEmpty() ? QLatin1Char('.') : point.front();
}

QString TCsvFile::FormatFloat(double value, QChar decimalSeparator)
{
    if (value == 0)
        return QStringLiteral("0");
    if (!std::isfinite(value))
        return std::isnan(value) ? QStringLiteral("NAN") : (value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF"));

    // 15 significant digits and the decimal exponent of the first one
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
    QString digits;
    for (const char *p = buffer; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += QLatin1Char(*p);
    const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    QString text = value < 0 ? QStringLiteral("-") : QString();
    if (exponent >= 15 || exponent < -5) {
        text += digits.front();
        if (digits.size() > 1)
            text += decimalSeparator + digits.mid(1);
        text += QStringLiteral("E%1").arg(exponent);
    } else if (exponent >= 0) {
        QString whole = digits.left(exponent + 1);
        whole += QString(exponent + 1 - whole.size(), QLatin1Char('0'));
        text += whole;
        if (digits.size() > exponent + 1)
            text += decimalSeparator + digits.mid(exponent + 1);
    } else {
        text += QLatin1Char('0') + QString(decimalSeparator) + QString(-exponent - 1, QLatin1Char('0')) + digits;
    }
    return text;
}

void TCsvFile::WriteValue(const TCell &value)
{
    CheckPreConditions(value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList,
                       "TCsvFile.WriteValue");
    if (!opened_)
        return;
    QString text;
    switch (value.typeId()) {
    case QMetaType::UnknownType: break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt: text = QString::number(value.toLongLong()); break;
    case QMetaType::Float:
    case QMetaType::Double: text = FormatFloat(value.toDouble(), SystemDecimalSeparator()); break;
    default: text = value.toString();
    }
    WriteBytes(Cp1251::Encode(text));
}

void TCsvFile::WriteSeparator()
{
    WriteValue(QStringLiteral(";"));
}

void TCsvFile::WriteValueAndSeparator(const TCell &value)
{
    WriteValue(value);
    WriteSeparator();
}

void TCsvFile::WriteValuesMatrix(const TMatrix &matrix)
{
    const size_t rows = matrix.empty() ? 0 : matrix.front().size();
    for (const auto &column : matrix)
        CheckPreConditions(column.size() == rows, "TCsvFile.WriteValuesMatrix");
    for (size_t row = 0; row < rows; ++row) {
        for (const auto &column : matrix)
            WriteValueAndSeparator(column[row]);
        NewLine();
    }
}

// ------------------------------------------------------- TPowerCalculation

TPowerCalculation::TPowerBlock TPowerCalculation::Calculate(const std::array<TPhaseInput, 3> &phases, float pTotal,
                                                            float qTotal)
{
    constexpr double kDegree = M_PI / 180.0;
    auto ratio = [](double p, double s) { return s == 0 ? 0.0 : p / s; };
    TPowerBlock block{};
    double p1Total = 0, q1Total = 0;
    for (int i = 0; i < 3; ++i) {
        const TPhaseInput &in = phases[i];
        const double s = std::sqrt(double(in.P) * in.P + double(in.Q) * in.Q);
        const double cosPhi = std::cos(in.PhiDegrees * kDegree);
        const double p1 = double(in.U1) * in.I1 * cosPhi;
        const double q1 = double(in.U1) * in.I1 * std::sin(in.PhiDegrees * kDegree);
        block[i + 1] = {in.P,
                        in.Q,
                        float(s),
                        float(ratio(in.P, s)),
                        float(p1),
                        float(q1),
                        float(std::sqrt(p1 * p1 + q1 * q1)),
                        float(cosPhi)};
        p1Total += float(p1);
        q1Total += float(q1);
    }
    const double s = std::sqrt(double(pTotal) * pTotal + double(qTotal) * qTotal);
    const double s1 = std::sqrt(p1Total * p1Total + q1Total * q1Total);
    block[0] = {pTotal,         qTotal,         float(s),  float(ratio(pTotal, s)),
                float(p1Total), float(q1Total), float(s1), float(ratio(p1Total, s1))};
    return block;
}

// --------------------------------------------------- TGenerateNameUtilities

QString TGenerateNameUtilities::DeviceFilePrefix(const QString &deviceClassName)
{
    return QString::fromLatin1(TextsFor(deviceClassName).prefix);
}

QString TGenerateNameUtilities::DeviceTypeText(const QString &deviceClassName)
{
    return QString::fromLatin1(TextsFor(deviceClassName).typeText);
}

QString TGenerateNameUtilities::CsvBaseName(const QString &deviceClassName, int deviceNumber, const QDateTime &moment)
{
    return QStringLiteral("monitor_%1_%2_%3.csv")
        .arg(DeviceFilePrefix(deviceClassName))
        .arg(deviceNumber)
        .arg(moment.toString(QStringLiteral("yyMMdd_HHmmsszzz")));
}

namespace {

bool Fail(const TErrorSink &showError, const char *format, const QString &fileName, QString *reason, const QString &why)
{
    if (reason)
        *reason = why;
    if (showError)
        showError(QString::fromUtf8(format).arg(fileName));
    return false;
}

} // namespace

bool TGenerateNameUtilities::PrepareFile(const QString &fileName, const TErrorSink &showError, QString *reason)
{
    return PrepareFolder(fileName, showError, reason) && RemoveOldFile(fileName, showError, reason);
}

bool TGenerateNameUtilities::PrepareFolder(const QString &fileName, const TErrorSink &showError, QString *reason)
{
    // mkpath tells no reason; the usual one is a file where a folder should be
    return QDir().mkpath(QFileInfo(fileName).absolutePath()) ||
           Fail(showError, "Ошибка при указании пути к файлу (%1).", fileName, reason,
                QStringLiteral("не удалось создать папку"));
}

bool TGenerateNameUtilities::RemoveOldFile(const QString &fileName, const TErrorSink &showError, QString *reason)
{
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return true;
    const char *format = "Ошибка при удалении перезаписываемого файла (%1).";
    if (info.isDir())
        return Fail(showError, format, fileName, reason, QStringLiteral("под этим именем папка"));
    QFile old(fileName);
    return old.remove() || Fail(showError, format, fileName, reason, OsErrorText(old.errorString()));
}

// -------------------------------------------------------- TDataStorageSaver

TDataStorageSaver::TDataStorageSaver(const QString &fileName, const std::vector<float> &values, int deviceNumber,
                                     const QDateTime &moment, const QString &deviceClassName)
    : file_(std::make_unique<TCsvFile>(fileName)),
      values_(values),
      deviceNumber_(deviceNumber),
      moment_(moment),
      deviceClassName_(deviceClassName)
{
    values_.resize(kValueCount, 0.0f);
    CheckPostConditions(file_ != nullptr, "TDataStorageSaver.Create");
}

TDataStorageSaver::~TDataStorageSaver() = default;

float TDataStorageSaver::V(int index) const
{
    return values_[size_t(index)];
}

TCsvFile::TMatrix TDataStorageSaver::NominalsBlock() const
{
    auto m = EmptyMatrix(4, 2);
    const char *labels[] = {"U ном ф", "U ном мф", "I ном"};
    for (int i = 0; i < 3; ++i) {
        m[i + 1][0] = QString::fromUtf8(labels[i]);
        m[i + 1][1] = V(i);
    }
    return m;
}

TCsvFile::TMatrix TDataStorageSaver::FrequencyBlock() const
{
    auto m = EmptyMatrix(5, 2);
    m[1][0] = QStringLiteral("F");
    m[1][1] = V(2749);
    m[2][0] = QStringLiteral("откл. F");
    m[2][1] = V(2749) - 50.0f;
    m[3][0] = QStringLiteral("K0");
    m[3][1] = V(2751);
    m[4][0] = QStringLiteral("K2");
    m[4][1] = V(2752);
    return m;
}

TCsvFile::TMatrix TDataStorageSaver::MainBlock() const
{
    // One column per quantity: header, then the slots of rows 2..5 (-1 = empty
    // cell) and the base of the harmonic rows (slot = base + n; -1 = empty).
    struct TColumn
    {
        const char *header;
        int rows[4];
        int harmonicBase;
    };
    static constexpr TColumn kColumns[21] = {
        {"Uа", {286, 292, 298, 310}, 314},  {"Iа", {1508, 1511, -1, 1520}, 1521}, {"fi UIa", {-1, 2114, -1, -1}, 2115},
        {"Uв", {287, 293, 299, 311}, 363},  {"Iв", {1509, 1512, -1, 1521}, 1570}, {"fi UIв", {-1, 2115, -1, -1}, 2164},
        {"Uс", {288, 294, 300, 312}, 412},  {"Iс", {1510, 1513, -1, 1522}, 1619}, {"fi UIс", {-1, 2116, -1, -1}, 2213},
        {"Uав", {289, 295, 301, 313}, 461}, {"Uвс", {290, 296, 302, 314}, 510},   {"Uса", {291, 297, 303, 315}, 559},
        {"U0", {-1, 904, -1, -1}, -1},      {"I0", {-1, 2111, -1, -1}, -1},       {"fi UI0", {-1, 2264, -1, -1}, -1},
        {"U1", {-1, 905, -1, -1}, -1},      {"I1", {-1, 2112, -1, -1}, -1},       {"fi UI1", {-1, 2265, -1, -1}, -1},
        {"U2", {-1, 906, -1, -1}, -1},      {"I2", {-1, 2113, -1, -1}, -1},       {"fi UI2", {-1, 2266, -1, -1}, -1},
    };
    auto m = EmptyMatrix(22, 54);
    const char *rowLabels[] = {"U д, I д", "U (1), I (1)", "откл. U (1)", "K"};
    for (int r = 0; r < 4; ++r)
        m[0][r + 1] = QString::fromUtf8(rowLabels[r]);
    for (int n = 2; n <= 50; ++n)
        m[0][n + 3] = QStringLiteral("K(%1), fi(%1)").arg(n);
    for (int c = 0; c < 21; ++c) {
        const TColumn &column = kColumns[c];
        m[c + 1][0] = QString::fromUtf8(column.header);
        for (int r = 0; r < 4; ++r)
            if (column.rows[r] >= 0)
                m[c + 1][r + 1] = V(column.rows[r]);
        if (column.harmonicBase >= 0)
            for (int n = 2; n <= 50; ++n)
                m[c + 1][n + 3] = V(column.harmonicBase + n);
    }
    return m;
}

TCsvFile::TMatrix TDataStorageSaver::PowerBlock() const
{
    std::array<TPowerCalculation::TPhaseInput, 3> phases;
    for (int i = 0; i < 3; ++i)
        phases[i] = {V(2267 + i), V(2273 + i), V(292 + i), V(1511 + i), V(2114 + i)};
    const auto block = TPowerCalculation::Calculate(phases, V(2291), V(2292));

    static const char *kHeaders[16] = {"P",  "Q",  "S",  "cos fi",   "Pа", "Qа", "Sа", "cos fi а",
                                       "Pв", "Qв", "Sв", "cos fi в", "Pс", "Qс", "Sс", "cos fi с"};
    auto m = EmptyMatrix(17, 3);
    m[0][1] = QStringLiteral("Весь сигнал");
    m[0][2] = QStringLiteral("1 гармоника");
    for (int set = 0; set < 4; ++set) {
        for (int k = 0; k < 4; ++k) {
            const int column = 1 + set * 4 + k;
            m[column][0] = QString::fromUtf8(kHeaders[column - 1]);
            m[column][1] = block[set][k];
            m[column][2] = block[set][k + 4];
        }
    }
    return m;
}

bool TDataStorageSaver::Save()
{
    if (!file_->Open()) {
        failureReason_ = file_->ErrorString();
        return false;
    }
    bool ok = false;
    try {
        file_->WriteValuesMatrix({{QStringLiteral("Тип прибора"), QStringLiteral("Номер прибора")},
                                  {TGenerateNameUtilities::DeviceTypeText(deviceClassName_), deviceNumber_}});
        file_->NewLine();
        file_->WriteValuesMatrix(
            {{QStringLiteral("Дата/время")}, {moment_.toString(QStringLiteral("yyyy.MM.dd HH:mm:ss.zzz"))}});
        file_->NewLine();
        file_->WriteValuesMatrix(NominalsBlock());
        for (int i = 0; i < 4; ++i)
            file_->NewLine();
        file_->WriteValuesMatrix(FrequencyBlock());
        file_->NewLine();
        file_->WriteValuesMatrix(MainBlock());
        file_->NewLine();
        file_->WriteValuesMatrix(PowerBlock());
        file_->NewLine();
        file_->NewLine();
        ok = file_->Commit();
    } catch (const EInOutError &) {
        ok = false;
    }
    failureReason_ = ok ? QString() : file_->ErrorString();
    file_->Close();
    return ok;
}

// ----------------------------------------------------------- TFileUtilities

TFileUtilities::TFileUtilities(int deviceNumber, std::vector<float> values, QString deviceClassName, QDateTime moment)
    : values_(std::move(values)),
      deviceNumber_(deviceNumber),
      deviceClassName_(std::move(deviceClassName)),
      moment_(std::move(moment))
{}

bool TFileUtilities::SaveToFile(const QString &fileName, const TErrorSink &showError, QString *reason) const
{
    if (!TGenerateNameUtilities::PrepareFile(fileName, showError, reason))
        return false;
    TDataStorageSaver saver(fileName, values_, deviceNumber_, moment_, deviceClassName_);
    if (saver.Save())
        return true;
    if (reason)
        *reason = saver.FailureReason().isEmpty() ? QStringLiteral("ошибка записи") : saver.FailureReason();
    return false;
}

// ----------------------------------------------------------- snapshot save

QString SavedFileLead()
{
    return QStringLiteral("Последний файл: ");
}

QString SaveFailedLead()
{
    return QStringLiteral("Ошибка при сохранении в: ");
}

QString TCsvSaveOutcome::StatusText() const
{
    return Reason.isEmpty() ? Lead + Path : QStringLiteral("%1%2 (%3)").arg(Lead, Path, Reason);
}

TCsvSaveOutcome SaveCsvSnapshot(const QString &folder, int deviceNumber, std::vector<float> values,
                                const QString &deviceClassName, const QDateTime &moment, const TErrorSink &showError)
{
    TCsvSaveOutcome outcome;
    outcome.Path = QDir(folder).filePath(TGenerateNameUtilities::CsvBaseName(deviceClassName, deviceNumber, moment));
    const TFileUtilities snapshot(deviceNumber, std::move(values), deviceClassName, moment);
    bool shown = false;
    const TErrorSink show = [&](const QString &text) {
        shown = true;
        if (showError)
            showError(text);
    };
    outcome.Saved = snapshot.SaveToFile(outcome.Path, show, &outcome.Reason);
    outcome.Lead = outcome.Saved ? SavedFileLead() : SaveFailedLead();
    if (!outcome.Saved && !shown && showError)
        showError(outcome.StatusText()); // a write that failed part way
    return outcome;
}
