#include "ui/ArchiveGroup.h"

#include "common/IniFile.h"
#include "common/UrlPassword.h"
#include "common/UserFolders.h"
#include "ui/FileDialog.h"
#include "ui/FilePathLabel.h"
#include "ui/PasswordEdit.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kSection = QStringLiteral("Archive");
constexpr int kMaxKeepDays = 3650;

bool IsServer(const QString &target)
{
    return TArchiveTarget::Parse(target).Kind() == TArchiveTarget::TKind::PostgreSQL;
}

QString DecodedPassword(const QString &written)
{
    return QUrl::fromPercentEncoding(written.toUtf8());
}

QString MeterTimeText(const QDateTime &time)
{
    // meter time carries no zone: shown as the meter's clock read it
    return time.toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

} // namespace

TArchiveSettings TArchiveSettings::Read(const TMemIniFile &ini)
{
    TArchiveSettings settings;
    settings.Enabled = ini.ReadInteger(kSection, QStringLiteral("Enabled"), 1) != 0;
    settings.Target = ini.ReadString(kSection, QStringLiteral("Target"), QString()).trimmed();
    settings.KeepDays = std::clamp(ini.ReadInteger(kSection, QStringLiteral("KeepDays"), 31), 0, kMaxKeepDays);
    settings.Spectra = ini.ReadInteger(kSection, QStringLiteral("Spectra"), 0) != 0;
    return settings;
}

void TArchiveSettings::Write(TMemIniFile &ini) const
{
    ini.WriteInteger(kSection, QStringLiteral("Enabled"), Enabled ? 1 : 0);
    ini.WriteString(kSection, QStringLiteral("Target"), Target);
    ini.WriteInteger(kSection, QStringLiteral("KeepDays"), KeepDays);
    ini.WriteInteger(kSection, QStringLiteral("Spectra"), Spectra ? 1 : 0);
}

QString TArchiveSettings::DefaultFile()
{
    return ProgramDocumentsFolder() + QStringLiteral("archive.sqlite");
}

TArchiveTarget TArchiveSettings::EffectiveTarget() const
{
    return Target.isEmpty() ? TArchiveTarget::File(DefaultFile()) : TArchiveTarget::Parse(Target);
}

TArchiveOptions TArchiveSettings::Options() const
{
    TArchiveOptions options;
    options.Target = EffectiveTarget();
    options.KeepDays = KeepDays;
    options.Spectra = Spectra;
    return options;
}

QString ArchiveSummaryText(const Archive::TSummary &summary)
{
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QString text;
    if (summary.SizeBytes >= 0)
        text = russian.toString(double(summary.SizeBytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" МБ, ");
    qint64 cycles = 0;
    QDateTime first, last;
    for (const Archive::TMeterRow &meter : summary.Meters) {
        cycles += meter.Cycles;
        if (meter.FirstMeterTime.isValid() && (!first.isValid() || meter.FirstMeterTime < first))
            first = meter.FirstMeterTime;
        if (meter.LastMeterTime.isValid() && (!last.isValid() || meter.LastMeterTime > last))
            last = meter.LastMeterTime;
    }
    if (cycles == 0 || !first.isValid() || !last.isValid())
        return text + QStringLiteral("пусто");
    return text + QStringLiteral("с %1 по %2").arg(MeterTimeText(first), MeterTimeText(last));
}

TArchiveGroupBox::TArchiveGroupBox(QWidget *parent) : QGroupBox(QStringLiteral("Архив"), parent)
{
    setObjectName(QStringLiteral("gbArchive"));
    setToolTip(QStringLiteral("Изменения во время опроса вступают в силу при следующем запуске опроса"));
    auto *rows = new QVBoxLayout(this);

    auto *options = new QHBoxLayout;
    chkArchive_ = new QCheckBox(QStringLiteral("Записывать архив"), this);
    chkArchive_->setObjectName(QStringLiteral("chkArchive"));
    chkArchive_->setChecked(true);
    options->addWidget(chkArchive_);
    options->addSpacing(16);
    options->addWidget(new QLabel(QStringLiteral("Хранить циклы, дней:"), this));
    spnKeepDays_ = new QSpinBox(this);
    spnKeepDays_->setObjectName(QStringLiteral("spnArchiveKeepDays"));
    spnKeepDays_->setRange(0, kMaxKeepDays);
    spnKeepDays_->setValue(31);
    spnKeepDays_->setSpecialValueText(QStringLiteral("все"));
    spnKeepDays_->setToolTip(QStringLiteral("Циклы старше этого срока удаляются; 10-минутные значения остаются"));
    options->addWidget(spnKeepDays_);
    options->addSpacing(16);
    chkSpectra_ = new QCheckBox(QStringLiteral("Со спектрами"), this);
    chkSpectra_->setObjectName(QStringLiteral("chkArchiveSpectra"));
    chkSpectra_->setToolTip(QStringLiteral("Записывать спектры каждого цикла (архив растёт быстрее)"));
    options->addWidget(chkSpectra_);
    options->addStretch(1);
    rows->addLayout(options);

    auto *where = new QHBoxLayout;
    where->addWidget(new QLabel(QStringLiteral("Файл или сервер:"), this));
    edtTarget_ = new QLineEdit(this);
    edtTarget_->setObjectName(QStringLiteral("edtArchiveTarget"));
    edtTarget_->setPlaceholderText(QStringLiteral("по умолчанию: archive.sqlite в папке документов программы"));
    edtTarget_->setToolTip(QStringLiteral("Путь к файлу SQLite или адрес postgresql://пользователь@узел:порт/база; "
                                          "пароль сервера — в поле «Пароль»"));
    where->addWidget(edtTarget_, 1);
    where->addWidget(new QLabel(QStringLiteral("Пароль:"), this));
    edtPassword_ = new QLineEdit(this);
    edtPassword_->setObjectName(QStringLiteral("edtArchivePassword"));
    MaskAsPassword(edtPassword_);
    edtPassword_->setToolTip(QStringLiteral("Пароль сервера архива (для файла SQLite не нужен)"));
    edtPassword_->setFixedWidth(100);
    edtPassword_->setEnabled(false); // a file has none
    where->addWidget(edtPassword_);
    btnFile_ = new QPushButton(QStringLiteral("Файл…"), this);
    btnFile_->setObjectName(QStringLiteral("btnArchiveFile"));
    where->addWidget(btnFile_);
    btnOpenFolder_ = new QPushButton(QStringLiteral("Открыть папку"), this);
    btnOpenFolder_->setObjectName(QStringLiteral("btnArchiveOpenFolder"));
    where->addWidget(btnOpenFolder_);
    rows->addLayout(where);

    auto *state = new QHBoxLayout;
    lblTarget_ = new TFilePathLabel(this);
    lblTarget_->setObjectName(QStringLiteral("lblArchiveTarget"));
    // a long path gives way (its folders first) rather than widen the window
    lblTarget_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lblTarget_->setMinimumWidth(80);
    state->addWidget(lblTarget_, 1);
    lblSummary_ = new QLabel(this);
    lblSummary_->setObjectName(QStringLiteral("lblArchiveSummary"));
    lblSummary_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblSummary_->setToolTip(QStringLiteral("Размер архива и время измерителя, за которое он хранит данные"));
    state->addWidget(lblSummary_);
    rows->addLayout(state);

    connect(chkArchive_, &QCheckBox::toggled, this, &TArchiveGroupBox::TellIfChanged);
    connect(chkSpectra_, &QCheckBox::toggled, this, &TArchiveGroupBox::TellIfChanged);
    // left, not every key: each change of settings makes a new writer
    connect(spnKeepDays_, &QSpinBox::editingFinished, this, &TArchiveGroupBox::TellIfChanged);
    connect(edtTarget_, &QLineEdit::editingFinished, this, [this] {
        MovePasswordOut();
        TellIfChanged();
    });
    connect(edtTarget_, &QLineEdit::textChanged, this,
            [this](const QString &text) { edtPassword_->setEnabled(IsServer(text)); });
    connect(edtPassword_, &QLineEdit::editingFinished, this, &TArchiveGroupBox::TellIfChanged);
    connect(btnFile_, &QPushButton::clicked, this, &TArchiveGroupBox::PickFile);
    connect(btnOpenFolder_, &QPushButton::clicked, this, &TArchiveGroupBox::OpenFolder);
    ShowTarget();
}

TArchiveSettings TArchiveGroupBox::Settings() const
{
    TArchiveSettings settings;
    settings.Enabled = chkArchive_->isChecked();
    settings.Target = TargetText();
    settings.KeepDays = spnKeepDays_->value();
    settings.Spectra = chkSpectra_->isChecked();
    return settings;
}

void TArchiveGroupBox::SetSettings(const TArchiveSettings &settings)
{
    const QSignalBlocker blockArchive(chkArchive_), blockSpectra(chkSpectra_), blockDays(spnKeepDays_);
    chkArchive_->setChecked(settings.Enabled);
    chkSpectra_->setChecked(settings.Spectra);
    spnKeepDays_->setValue(settings.KeepDays);
    ShowTargetText(settings.Target);
    told_ = Settings();
    ShowTarget();
}

QString TArchiveGroupBox::TargetText() const
{
    const QString shown = edtTarget_->text().trimmed();
    const QString password = edtPassword_->text();
    TUrlPassword parts = TUrlPassword::Split(shown);
    // a password still in the URL was typed there last
    if (password.isEmpty() || !IsServer(shown) || parts.HasPassword)
        return shown;
    parts.HasPassword = true;
    parts.Password = password == DecodedPassword(passwordWritten_)
                         ? passwordWritten_
                         : QString::fromLatin1(QUrl::toPercentEncoding(password));
    return parts.Joined();
}

void TArchiveGroupBox::ShowTargetText(const QString &target)
{
    const QSignalBlocker blockTarget(edtTarget_), blockPassword(edtPassword_);
    const TUrlPassword parts = TUrlPassword::Split(target);
    const bool server = IsServer(target);
    passwordWritten_ = server ? parts.Password : QString();
    edtTarget_->setText(server ? parts.WithoutPassword() : target);
    edtPassword_->setText(DecodedPassword(passwordWritten_));
    edtPassword_->setEnabled(server);
}

void TArchiveGroupBox::MovePasswordOut()
{
    const QString shown = edtTarget_->text().trimmed();
    if (IsServer(shown) && TUrlPassword::Split(shown).HasPassword)
        ShowTargetText(shown);
}

void TArchiveGroupBox::TellIfChanged()
{
    ShowTarget();
    const TArchiveSettings now = Settings();
    if (now == told_)
        return;
    told_ = now;
    emit SettingsEdited();
}

void TArchiveGroupBox::ShowTarget()
{
    const TArchiveTarget target = Settings().EffectiveTarget();
    btnOpenFolder_->setEnabled(target.Kind() == TArchiveTarget::TKind::SQLite);
    if (!target.IsValid()) {
        lblTarget_->SetPath(QStringLiteral("Архив не задан: ") + target.Error(), QString());
        return;
    }
    lblTarget_->SetPath(QStringLiteral("Архив: "), target.Display());
}

void TArchiveGroupBox::ShowSummary(const Archive::TSummary &summary)
{
    lblSummary_->setText(ArchiveSummaryText(summary));
}

void TArchiveGroupBox::ShowNoSummary(const QString &text)
{
    lblSummary_->setText(text);
}

void TArchiveGroupBox::PickFile()
{
    const TArchiveTarget target = Settings().EffectiveTarget();
    const QString proposed =
        target.Kind() == TArchiveTarget::TKind::SQLite ? target.Path() : TArchiveSettings::DefaultFile();
    QString chosen;
    // an existing archive is written on, not replaced: no overwrite prompt
    if (!ExecuteFileDialog(fdmSave, QStringLiteral("Файл архива"), proposed, QStringLiteral("Архив|*.sqlite"), false,
                           false, false, chosen, this))
        return;
    ShowTargetText(chosen);
    TellIfChanged();
}

void TArchiveGroupBox::OpenFolder()
{
    const TArchiveTarget target = Settings().EffectiveTarget();
    if (target.Kind() == TArchiveTarget::TKind::SQLite)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(target.Path()).absolutePath()));
}
