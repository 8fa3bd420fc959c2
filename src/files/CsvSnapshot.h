#pragma once

// The CSV snapshot of the last measurements (F2 / "Сохранить данные"): a
// fixed spreadsheet report, one new file per command.

#include "common/OsErrorText.h"

#include <QDateTime>
#include <QSaveFile>
#include <QString>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>
#include <vector>

// Shows an error text to the operator; the window passes its message box.
using TErrorSink = std::function<void(const QString &text)>;

// A text file of ";"-terminated cells, Windows-1251, CR LF, each cell
// written out as soon as it is formed. The cells go to a temporary file in the
// same folder; Commit puts it in place under its name, so a save cut short
// (a full disk, a crash, a kill) never leaves a partial file that looks
// complete.
class TCsvFile
{
public:
    // A cell: empty (invalid QVariant), text, integer or floating point.
    using TCell = QVariant;
    // Columns of rows: Matrix[column][row]; column 0 is the label column.
    using TMatrix = std::vector<std::vector<TCell>>;

    explicit TCsvFile(const QString &fileName);
    ~TCsvFile();

    bool Open();
    // Replaces any file of that name with what was written; false when
    // anything failed (then nothing is left under either name).
    bool Commit();
    // Why the last open, write or commit failed (the system's text).
    QString ErrorString() const { return OsErrorText(file_.errorString()); }
    // Drops a file not yet committed.
    void Close();
    bool Opened() const { return opened_; }
    const QString &FileName() const { return fileName_; }

    void NewLine();
    void WriteValue(const TCell &value);
    void WriteSeparator();
    void WriteValueAndSeparator(const TCell &value);
    void WriteValuesMatrix(const TMatrix &matrix);

    // The general 15-digit format of a single value widened to double, with
    // the given decimal separator.
    static QString FormatFloat(double value, QChar decimalSeparator);
    static QChar SystemDecimalSeparator();

private:
    void WriteBytes(const QByteArray &bytes);

    QString fileName_;
    QSaveFile file_;
    bool opened_ = false;
};

// The four power sets of the report: total, then phases a, b, c; each P, Q,
// S, P/S, P(1), Q(1), S(1), cos φ(1).
class TPowerCalculation
{
public:
    struct TPhaseInput
    {
        float P = 0, Q = 0, U1 = 0, I1 = 0, PhiDegrees = 0;
    };
    using TPowerSet = std::array<float, 8>;
    using TPowerBlock = std::array<TPowerSet, 4>;

    static TPowerBlock Calculate(const std::array<TPhaseInput, 3> &phases, float pTotal, float qTotal);
};

// File names and device texts, shared by the CSV and oscillogram files.
class TGenerateNameUtilities
{
public:
    // The device texts follow the class of the chosen connection's device.
    static QString DeviceFilePrefix(const QString &deviceClassName);
    static QString DeviceTypeText(const QString &deviceClassName);
    // The name alone, without a folder.
    static QString CsvBaseName(const QString &deviceClassName, int deviceNumber, const QDateTime &moment);
    // Creates the folder and removes an old file of that name; shows its own
    // errors through the sink and puts why into `reason` (may be null). The
    // two steps are also available apart, for a writer that replaces the old
    // file only once the new one is written.
    static bool PrepareFile(const QString &fileName, const TErrorSink &showError, QString *reason = nullptr);
    static bool PrepareFolder(const QString &fileName, const TErrorSink &showError, QString *reason = nullptr);
    static bool RemoveOldFile(const QString &fileName, const TErrorSink &showError, QString *reason = nullptr);
};

class TDataStorageSaver
{
public:
    TDataStorageSaver(const QString &fileName, const std::vector<float> &values, int deviceNumber,
                      const QDateTime &moment, const QString &deviceClassName);
    ~TDataStorageSaver();

    bool Save();
    // Why the last Save failed.
    const QString &FailureReason() const { return failureReason_; }

private:
    float V(int index) const;
    TCsvFile::TMatrix NominalsBlock() const;
    TCsvFile::TMatrix FrequencyBlock() const;
    TCsvFile::TMatrix MainBlock() const;
    TCsvFile::TMatrix PowerBlock() const;

    std::unique_ptr<TCsvFile> file_;
    std::vector<float> values_;
    int deviceNumber_;
    QDateTime moment_;
    QString deviceClassName_;
    QString failureReason_;
};

class TFileUtilities
{
public:
    TFileUtilities(int deviceNumber, std::vector<float> values, QString deviceClassName,
                   QDateTime moment = QDateTime::currentDateTime());

    // False when not saved, with why in `reason` (may be null).
    bool SaveToFile(const QString &fileName, const TErrorSink &showError = {}, QString *reason = nullptr) const;

private:
    std::vector<float> values_;
    int deviceNumber_;
    QString deviceClassName_;
    QDateTime moment_;
};

// The status-line leads of a save: the file written, or the one that failed.
QString SavedFileLead();
QString SaveFailedLead();

// What a snapshot save came to, for the status line or the console.
struct TCsvSaveOutcome
{
    bool Saved = false;
    QString Path;
    QString Lead;
    QString Reason; // why a save failed: the system's text or our own

    // A failure ends with its reason in brackets.
    QString StatusText() const;
};

// Names the snapshot's file in `folder` after the device and the moment and
// saves it there. Each failure goes to the sink once: in its own words when
// met preparing the file, else as the outcome's status text.
TCsvSaveOutcome SaveCsvSnapshot(const QString &folder, int deviceNumber, std::vector<float> values,
                                const QString &deviceClassName, const QDateTime &moment,
                                const TErrorSink &showError = {});
