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
#include <QStatusBar>
#include "engine/Engine.h"
#include "ui/MessageBoxes.h"

TMainVondForm::TMainVondForm(QWidget *parent) : TMainForm(parent) {}

QString TMainVondForm::GetProgramTitle() const
{
    return ProgramTitle();
}

void TMainVondForm::CreateEngine()
{
    commons_ = std::make_unique<TCommons>(&factory_);
    if (!commons_->Logger().Open())
        ShowInfo(QStringLiteral("Ведение лог-файла невозможно"), this);
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
    try {
        if (!TMainForm::ApplyStartSettings())
            return false;
        // an empty table or a connection this program cannot poll is said
        // to the operator by the list window
        if (!ConnectionSettingsFrame1->ListFrame() || !ConnectionSettingsFrame1->ListFrame()->CheckChosen())
            return false;
        TccnConnection *connection = ConnectionSettingsFrame1->GetSelectedConnection();
        if (!connection)
            return false;
        ConnectionSettingsFrame1->SetSelected(*connection);
        SetVondSettings(*connection);
        return true;
    } catch (const std::exception &) {
        ShowError(QStringLiteral("Ошибка при анализе пользовательских настроек подключения."), this);
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
                dateTime.time().toString(QStringLiteral("HH:mm:ss"));
    } else {
        text += QStringLiteral("__:__:__");
    }
    statusPanels[0]->setText(text);
    // the design width, or more where this system's date format needs it
    statusPanels[0]->setFixedWidth(
        std::max(kDeviceTimePanelWidth, statusPanels[0]->fontMetrics().horizontalAdvance(text) + 12));
}
