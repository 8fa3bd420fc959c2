#pragma once

#include "engine/RequestThreadVD.h"
#include "ui/FormMain.h"

// The main window of the meter family's monitor: creates its engine, gives
// the program title.
class TMainVondForm : public TMainForm
{
    Q_OBJECT

public:
    explicit TMainVondForm(QWidget *parent = nullptr);

protected:
    QString GetProgramTitle() const override;
    void CreateEngine() override;
    void OnClosing() override;

private:
    TObjectsFactoryVD factory_;
};
