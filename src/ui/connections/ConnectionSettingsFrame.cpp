#include "ui/connections/ConnectionSettingsFrame.h"

#include "catalogue/ConnectionList.h"
#include "catalogue/AcceptedConnections.h"
#include "common/Contracts.h"
#include "ui/connections/ConnectionListFrame.h"
#include "catalogue/ProgramSettingsFile.h"

#include <QVBoxLayout>

TConnectionSettingsFrame::TConnectionSettingsFrame(QWidget *parent, QString iniFileName)
    : QFrame(parent), iniFileName_(std::move(iniFileName))
{
    setObjectName(QStringLiteral("ConnectionSettingsFrame1"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

TConnectionSettingsFrame::~TConnectionSettingsFrame()
{
    try {
        if (!saved_)
            SaveToIni();
        FinalizeCcn();
        FinalizeIniFile();
    } catch (...) {
        // the program is closing; a settings file that cannot be written
        // keeps its previous content
    }
}

void TConnectionSettingsFrame::Initialize()
{
    InitializeIniFile();
    InitializeCcn();
    LoadFromIni(); // again, now that the list window shows the list
    listFrame_->SetConnectionList(list_.get());
}

void TConnectionSettingsFrame::InitializeIniFile()
{
    iniFile_ =
        iniFileName_.isEmpty() ? std::make_unique<TProgramIniFile>() : std::make_unique<TProgramIniFile>(iniFileName_);
    CheckPostConditions(iniFile_ != nullptr, "TConnectionSettingsFrame.InitializeIniFile");
}

void TConnectionSettingsFrame::FinalizeIniFile()
{
    iniFile_.reset();
    CheckPostConditions(iniFile_ == nullptr, "TConnectionSettingsFrame.FinalizeIniFile");
}

void TConnectionSettingsFrame::InitializeCcn()
{
    list_ = std::make_unique<TccnConnectionList>();
    LoadFromIni();
    options_ = std::make_unique<TccnConnectionListUIOptions>();
    ConfigureMonitorOptions(*options_);
    listFrame_ = new TccnConnectionListFrame(this, options_.get(), list_.get());
    layout()->addWidget(listFrame_);
    CheckPostConditions(list_ && options_ && listFrame_, "TConnectionSettingsFrame.InitializeCcn");
}

void TConnectionSettingsFrame::FinalizeCcn()
{
    delete listFrame_;
    listFrame_ = nullptr;
    options_.reset();
    list_.reset();
    CheckPostConditions(!listFrame_ && !options_ && !list_, "TConnectionSettingsFrame.FinalizeCcn");
}

void TConnectionSettingsFrame::LoadFromIni()
{
    iniFile_->ReadConnectionList(list_.get());
    selectedConID_ = iniFile_->ReadSelected();
}

bool TConnectionSettingsFrame::SaveToIni(QString *reason)
{
    if (!iniFile_ || !list_)
        return true;
    if (listFrame_)
        listFrame_->StoreLayout(*list_);
    iniFile_->WriteConnectionList(list_.get());
    iniFile_->WriteSelected(selectedConID_);
    saved_ = true;
    return iniFile_->UpdateFile(reason);
}

TccnConnection *TConnectionSettingsFrame::GetSelectedConnection()
{
    const TccnConnection *current = listFrame_ ? listFrame_->CurrentConnection() : nullptr;
    if (!current)
        return nullptr;
    selectedConID_ = current->ConID;
    return list_->FindByConID(selectedConID_);
}

void TConnectionSettingsFrame::SetSelected(const TccnConnection &connection)
{
    selectedConID_ = connection.ConID;
}

void TConnectionSettingsFrame::ShowSelected()
{
    if (listFrame_)
        listFrame_->SelectConnection(selectedConID_, TccnConnectionListFrame::scGridRow);
}
