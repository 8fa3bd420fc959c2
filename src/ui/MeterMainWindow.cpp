#include "ui/MeterMainWindow.h"

#include "catalogue/ConnectionList.h"
#include "common/Contracts.h"
#include "common/UserFolders.h"
#include "engine/PollSettings.h"
#include "engine/MeasurementRecord.h"
#include "files/CsvSnapshot.h"
#include "ui/connections/ConnectionListFrame.h"
#include "ui/FilePathLabel.h"
#include "ui/connections/ConnectionSettingsFrame.h"

#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QStatusBar>
#include "engine/Engine.h"
#include "ui/MessageBoxes.h"

namespace {

// The locale's long time format (with seconds) without its time-zone name:
// the meter's clock carries no zone.
QString LongTimeFormat(const QLocale &locale)
{
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?\\s*"));
    return locale.timeFormat(QLocale::LongFormat).replace(zone, QStringLiteral(" ")).trimmed();
}

} // namespace

TMainVondForm::TMainVondForm(QWidget *parent) : TMainForm(parent) {}

// Here rather than in the base: the closing steps of this class still run.
TMainVondForm::~TMainVondForm()
{
    EndWithoutCloseRequest();
}

QString TMainVondForm::GetProgramTitle() const
{
    return ProgramTitle();
}

void TMainVondForm::CreateEngine()
{
    commons_ = std::make_unique<TCommons>(&factory_);
    if (!commons_->Logger().Open())
        ShowInfo(commons_->Logger().OpenError(), this);
    commons_->Logger().LogProgramStart();
    TMainForm::CreateEngine();
}

void TMainVondForm::OnClosing()
{
    if (commons_)
        commons_->Logger().LogProgramClose();
    TMainForm::OnClosing();
}

bool TMainVondForm::ApplyStartSettings()
{
    const QString refused = QStringLiteral("Ошибка при анализе пользовательских настроек подключения.");
    try {
        if (!TMainForm::ApplyStartSettings())
            return false;
        // The list window says what the operator can put right: an empty
        // table, or a connection whose meter type, protocol or mode this
        // program does not poll. It shows that text itself, once.
        if (!ConnectionSettingsFrame1->ListFrame() || !ConnectionSettingsFrame1->ListFrame()->CheckChosen())
            return false;
        // Whatever still fails (no current connection, a connection without
        // a meter, a conversion that raises) has the one general text.
        TccnConnection *connection = ConnectionSettingsFrame1->GetSelectedConnection();
        if (!connection) {
            ShowError(refused, this);
            return false;
        }
        ConnectionSettingsFrame1->SetSelected(*connection);
        SetVondSettings(*connection);
        return true;
    } catch (const std::exception &) {
        ShowError(refused, this);
        return false;
    }
}

void TMainVondForm::SetVondSettings(const TccnConnection &connection)
{
    TConnectionSettings *settings = commons_->Settings();
    const TccnCustomDevice *device = connection.CustomDevice();
    CheckPreConditions(settings != nullptr && device != nullptr && IsSupportedDeviceType(device->DeviceType()),
                       "TMainVondForm.SetVondSettings");
    settings->SetConnection(std::shared_ptr<TccnConnection>(connection.Clone()));
}

void TMainVondForm::ShowDeviceNumber()
{
    const TConnectionSettings *settings = commons_ ? commons_->Settings() : nullptr;
    if (settings && settings->Connection() && settings->Connection()->CustomDevice())
        lblNomerDev->setText(QString::number(settings->Connection()->CustomDevice()->FactoryNum));
}

QString TMainVondForm::DeviceClassForFiles() const
{
    const TccnConnectionList *list = ConnectionSettingsFrame1->ConnectionList();
    const TccnConnection *connection = list ? list->FindByConID(ConnectionSettingsFrame1->SelectedConID()) : nullptr;
    if (!connection && ConnectionSettingsFrame1->ListFrame())
        connection = ConnectionSettingsFrame1->ListFrame()->CurrentConnection();
    return connection && connection->CustomDevice() ? connection->CustomDevice()->ClassName() : QString();
}

void TMainVondForm::SaveMeasurements()
{
    if (!commons_ || !commons_->Store())
        return;
    const TCsvSaveOutcome outcome = SaveCsvSnapshot(
        ProgramDocumentsFolder(), commons_->LastDeviceNumber(), commons_->Store()->SnapshotData(),
        DeviceClassForFiles(), QDateTime::currentDateTime(), [this](const QString &text) { ShowError(text, this); });
    lastFilePanel->SetPath(outcome.Lead, outcome.Path);
    statusBar()->setToolTip(lastFilePanel->toolTip());
}

void TMainVondForm::RefreshDeviceTime()
{
    const double moment = commons_ && commons_->Store() ? commons_->Store()->DeviceDateTime() : 0;
    QString text = QStringLiteral("Дата/время начала опроса: ");
    if (moment > 0) {
        const QDateTime dateTime = TDataStorageManager::DecodeDateTime(moment);
        const QLocale locale;
        text += locale.toString(dateTime.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                locale.toString(dateTime.time(), LongTimeFormat(locale));
    } else {
        text += QStringLiteral("__:__:__");
    }
    statusPanels[0]->setText(text);
    // the design width, or more where this system's date format needs it
    statusPanels[0]->setFixedWidth(
        std::max(kDeviceTimePanelWidth, statusPanels[0]->fontMetrics().horizontalAdvance(text) + 12));
}
