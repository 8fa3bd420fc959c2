#pragma once

#include "engine/PollRun.h"
#include "ui/MainWindow.h"

class TccnConnection;

// The main window of the meter family's monitor: creates its engine, gives
// the program title.
class TMainVondForm : public TMainForm
{
    Q_OBJECT

public:
    explicit TMainVondForm(QWidget *parent = nullptr);
    // A window deleted while the program runs ends it as a close would.
    ~TMainVondForm() override;

protected:
    QString GetProgramTitle() const override;
    void CreateEngine() override;
    void OnClosing() override;
    bool ApplyStartSettings() override;
    void SaveMeasurements() override;
    void ShowDeviceNumber() override;
    void RefreshDeviceTime() override;

private:
    // Copies the chosen connection into the poll settings (contract: VD
    // settings and one of the six polled device types).
    void SetVondSettings(const TccnConnection &connection);
    QString DeviceClassForFiles() const;

    TObjectsFactoryVD factory_;
};
