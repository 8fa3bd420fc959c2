#include "ui/FormMainVond.h"

#include "common/cmnKnownFoldersFunc.h"
#include "engine/UnitCommons.h"
#include "ui/UnitMessage.h"

TMainVondForm::TMainVondForm(QWidget *parent) : TMainForm(parent) {}

QString TMainVondForm::GetProgramTitle() const { return ProgramTitle(); }

void TMainVondForm::CreateEngine()
{
    commons_ = std::make_unique<TCommons>(&factory_, this);
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
