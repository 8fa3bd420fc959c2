#pragma once

// The "Архив" group of the "Интерфейс" page: whether the runs are archived,
// where (an SQLite file or a PostgreSQL URL), how long cycles are kept, and
// what the archive holds as its writer last told. The group only edits and
// shows; the window owns the writer.

#include "archive/ArchiveWriter.h"

#include <QGroupBox>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TFilePathLabel;
class TMemIniFile;

// The archive's settings as the [Archive] section keeps them. The URL's
// password is kept too: it is the user's setting (logs show Display(), the
// group shows it masked, and the settings file is the user's alone).
struct TArchiveSettings
{
    bool Enabled = true;
    QString Target; // empty: the default file
    int KeepDays = 31;
    bool Spectra = false;

    bool operator==(const TArchiveSettings &) const = default;

    static TArchiveSettings Read(const TMemIniFile &ini);
    void Write(TMemIniFile &ini) const;

    // <Documents>/VD/<program>/archive.sqlite
    static QString DefaultFile();
    TArchiveTarget EffectiveTarget() const;
    TArchiveOptions Options() const;
};

// "12,3 МБ, с 01.12.2026 10:00 по 08.12.2026 05:00" (meter time), "пусто"
// for an archive without cycles.
QString ArchiveSummaryText(const Archive::TSummary &summary);

class TArchiveGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    explicit TArchiveGroupBox(QWidget *parent = nullptr);

    TArchiveSettings Settings() const;
    void SetSettings(const TArchiveSettings &settings);

    // What the current writer's archive holds; shown until the target changes.
    void ShowSummary(const Archive::TSummary &summary);
    // The writer could not be made (a URL that does not parse) or none is on.
    void ShowNoSummary(const QString &text);

signals:
    // The operator changed a setting (once per change, not per edit left).
    void SettingsEdited();

private:
    void ShowTarget();
    void TellIfChanged();
    // The URL as the two fields give it.
    QString TargetText() const;
    // Shows the target's URL without its password, and the password masked.
    void ShowTargetText(const QString &target);
    // A password typed into the URL goes to its own field.
    void MovePasswordOut();
    void PickFile();
    void OpenFolder();

    QCheckBox *chkArchive_ = nullptr;
    QSpinBox *spnKeepDays_ = nullptr;
    QCheckBox *chkSpectra_ = nullptr;
    QLineEdit *edtTarget_ = nullptr;
    QLineEdit *edtPassword_ = nullptr;
    QString passwordWritten_; // as the URL had it (percent-encoded): given back unchanged
    QPushButton *btnFile_ = nullptr;
    QPushButton *btnOpenFolder_ = nullptr;
    TFilePathLabel *lblTarget_ = nullptr;
    QLabel *lblSummary_ = nullptr;
    TArchiveSettings told_; // as set or last told
};
