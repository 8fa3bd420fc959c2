#include "ui/connections/EditConnectionDialog.h"

#include "catalogue/ConnectionList.h"
#include "catalogue/AcceptedConnections.h"
#include "common/Contracts.h"
#include "ui/connections/EditObjectFrame.h"
#include "ui/connections/EditDeviceFrame.h"
#include "ui/connections/EditComPortFrame.h"
#include "ui/connections/EditDirectCableFrame.h"
#include "ui/connections/EditIec101ProtocolFrame.h"
#include "ui/connections/EditIec104ProtocolFrame.h"
#include "ui/connections/EditModbusProtocolFrame.h"
#include "ui/connections/EditPhoneModemModeFrame.h"
#include "ui/connections/EditRadioModemModeFrame.h"
#include "ui/connections/EditTcpIpFrame.h"
#include "ui/connections/EditTarvelProtocolFrame.h"
#include "ui/connections/EditOpticalProbeFrame.h"
#include "ui/MessageBoxes.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// --- Frame choice by class --------------------------------------------------------------

TccnCustomEditFrame *CreateDeviceEditFrame(const TccnCustomDevice &, QWidget *parent)
{
    return new TccnEditTarvelDeviceFrame(parent);
}

TccnCustomEditFrame *CreateProtocolEditFrame(const TccnCustomDeviceProtocol &protocol, QWidget *parent)
{
    switch (protocol.ProtocolType()) {
    case dptTarvel: return new TccnEditTarvelProtocolFrame(parent);
    case dptIEC101: return new TccnEditIEC101ProtocolFrame(parent);
    case dptIEC104: return new TCcnEditIEC104ProtocolFrame(parent);
    case dptModbusRTU:
    case dptModbusTCP: return new TccnEditModbusProtocolFrame(parent);
    }
    return nullptr;
}

TccnCustomEditFrame *CreateConModeEditFrame(const TccnCustomConMode &conMode, QWidget *parent)
{
    switch (conMode.ConModeType()) {
    case cmtDirect232: return new TccnEditDirect232ConModeFrame(parent);
    case cmtPhoneModem232: return new TccnEditPhoneModem232ConModeFrame(parent);
    case cmtRadioModem232: return new TccnEditRadioModem232ConModeFrame(parent);
    case cmtDirectTCPIP: return new TccnEditDirectTCPIPConModeFrame(parent);
    case cmtVDOptoAttach232: return new TCcnEditVDOptoAttach232ConModeFrame(parent);
    }
    return nullptr;
}

// --- TccnEditConnectionFrame ------------------------------------------------------------------

TccnEditConnectionFrame::TccnEditConnectionFrame(QWidget *parent, bool readOnly,
                                                 const TccnConnectionListUIOptions *options, TccnConnection *connection)
    : QFrame(parent), connection_(connection), options_(options), readOnly_(readOnly)
{
    CheckPreConditions(connection != nullptr, u"Не задано изменяемое подключение");
    CheckPreConditions(options != nullptr, u"Не заданы входные настройки для UI-списка покдлючений");

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    gbDevice = CreateGroup(u"Измеритель"_s, u"Тип измерителя"_s, cbDeviceType, pnDevice);
    gbProtocol = CreateGroup(u"Протокол"_s, u"Тип протокола"_s, cbProtocolType, pnProtocol);
    gbConMode = CreateGroup(u"Параметры типа подключения"_s, u"Тип подключения"_s, cbConModeType, pnConMode);
    cbDeviceType->setObjectName(u"cbDeviceType"_s);
    cbProtocolType->setObjectName(u"cbProtocolType"_s);
    cbConModeType->setObjectName(u"cbConModeType"_s);
    layout->addWidget(gbDevice, 1);
    layout->addWidget(gbProtocol, 1);
    layout->addWidget(gbConMode, 1);

    gbProtocol->setEnabled(false);
    gbConMode->setEnabled(false);
    if (readOnly_)
        gbDevice->setEnabled(false);

    connect(cbDeviceType, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_)
            RunGuarded([this, index] { ChooseDeviceType(index); });
    });
    connect(cbProtocolType, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_)
            RunGuarded([this, index] { ChooseProtocolType(index); });
    });
    connect(cbConModeType, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_)
            RunGuarded([this, index] { ChooseConModeType(index); });
    });

    LoadConnection();
}

TccnEditConnectionFrame::~TccnEditConnectionFrame()
{
    // The frames point into the history objects: they go first.
    delete deviceFrame_;
    delete protocolFrame_;
    delete conModeFrame_;
}

QGroupBox *TccnEditConnectionFrame::CreateGroup(const QString &caption, const QString &label, QComboBox *&combo,
                                                QWidget *&panel)
{
    auto *group = new QGroupBox(caption, this);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(new QLabel(label, group));
    combo = new QComboBox(group);
    combo->setEditable(false);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(8);
    combo->setSizePolicy(QSizePolicy::Ignored, combo->sizePolicy().verticalPolicy());
    group->setMinimumWidth(120);
    layout->addWidget(combo);
    panel = new QWidget(group);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(panel);
    layout->addStretch(1);
    return group;
}

void TccnEditConnectionFrame::RunGuarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Exception &error) {
        ShowError(error.Message(), this);
    }
}

void TccnEditConnectionFrame::LoadConnection()
{
    if (!readOnly_) {
        QString message;
        if (!options_->CheckConnection(connection_, message))
            throw Exception(message);
    }

    TccnPersistent *unused = nullptr;
    ReleaseFrame(deviceFrame_, unused);
    ReleaseFrame(protocolFrame_, unused);
    ReleaseFrame(conModeFrame_, unused);
    deviceFrameObject_ = protocolFrameObject_ = conModeFrameObject_ = nullptr;
    devices_.Clear();
    protocols_.Clear();
    conModes_.Clear();
    if (connection_->CustomDeviceProtocol())
        protocols_.AddFront(connection_->CustomDeviceProtocol()->Clone());
    if (connection_->CustomConMode())
        conModes_.AddFront(connection_->CustomConMode()->Clone());
    if (connection_->CustomDevice())
        devices_.AddFront(connection_->CustomDevice()->Clone());

    FillDeviceCombo();
    int index = 0;
    if (const TccnCustomDevice *device = devices_.Front()) {
        index = cbDeviceType->findData(int(device->DeviceType()));
        if (index < 0)
            throw Exception(u"Заданный тип измерителя не поддерживается"_s);
    }
    filling_ = true;
    cbDeviceType->setCurrentIndex(index);
    filling_ = false;
    DeviceTypeSelected();
}

void TccnEditConnectionFrame::ReleaseFrame(TccnCustomEditFrame *&frame, TccnPersistent *&object)
{
    if (!frame)
        return;
    if (object && !readOnly_) {
        try {
            frame->SaveToObject(object);
        } catch (const Exception &) {
            // What cannot be kept is left as it was.
        }
    }
    delete frame;
    frame = nullptr;
    object = nullptr;
}

void TccnEditConnectionFrame::ShowFrame(TccnCustomEditFrame *frame, QWidget *panel, TccnPersistent *object)
{
    if (!frame)
        return;
    panel->layout()->addWidget(frame);
    frame->LoadFromObject(object);
    frame->SetReadOnly(readOnly_);
    frame->show();
    if (auto *form = dynamic_cast<TccnEditConnectionForm *>(parentWidget()))
        form->FitToContents();
}

void TccnEditConnectionFrame::FillDeviceCombo()
{
    filling_ = true;
    cbDeviceType->clear();
    for (int code = 0; code < kDeviceTypeCount; ++code)
        if (readOnly_ || options_->FindDeviceTypeOptions(code))
            cbDeviceType->addItem(DeviceTypeFullNames().at(code), code);
    cbDeviceType->setCurrentIndex(-1);
    filling_ = false;
    if (cbDeviceType->count() == 0)
        throw Exception(u"Список доступных типов измерителей пуст"_s);
}

void TccnEditConnectionFrame::FillProtocolCombo()
{
    const TccnCustomDevice *device = devices_.Front();
    const TccnDeviceTypeOptions *options = device ? options_->FindDeviceTypeOptions(device->DeviceType()) : nullptr;
    filling_ = true;
    cbProtocolType->clear();
    for (int code = 0; code < kDeviceProtocolTypeCount; ++code) {
        const bool listed =
            readOnly_ || !device ||
            (device->SupportedProtocols().Contains(code) && options && options->AllowedProtocols.Contains(code));
        if (listed)
            cbProtocolType->addItem(DeviceProtocolTypeNames().at(code), code);
    }
    cbProtocolType->setCurrentIndex(-1);
    filling_ = false;
    if (cbProtocolType->count() == 0)
        throw Exception(u"Список доступных типов протоколов измерителя пуст"_s);
}

void TccnEditConnectionFrame::FillConModeCombo()
{
    const TccnCustomDevice *device = devices_.Front();
    const TccnDeviceTypeOptions *options = device ? options_->FindDeviceTypeOptions(device->DeviceType()) : nullptr;
    filling_ = true;
    cbConModeType->clear();
    for (int code = 0; code < kConModeTypeCount; ++code) {
        const bool listed = readOnly_ || !device || (options && options->AllowedConModes.Contains(code));
        if (listed)
            cbConModeType->addItem(ConModeTypeNames().at(code), code);
    }
    cbConModeType->setCurrentIndex(-1);
    filling_ = false;
    if (cbConModeType->count() == 0)
        throw Exception(u"Список доступных типов подключений пуст"_s);
}

void TccnEditConnectionFrame::SelectComboCode(QComboBox *combo, int code)
{
    const int index = code >= 0 ? combo->findData(code) : -1;
    filling_ = true;
    combo->setCurrentIndex(index >= 0 ? index : 0);
    filling_ = false;
}

void TccnEditConnectionFrame::ChooseDeviceType(int comboIndex)
{
    filling_ = true;
    cbDeviceType->setCurrentIndex(comboIndex);
    filling_ = false;
    DeviceTypeSelected();
}

void TccnEditConnectionFrame::ChooseProtocolType(int comboIndex)
{
    filling_ = true;
    cbProtocolType->setCurrentIndex(comboIndex);
    filling_ = false;
    ProtocolTypeSelected();
}

void TccnEditConnectionFrame::ChooseConModeType(int comboIndex)
{
    filling_ = true;
    cbConModeType->setCurrentIndex(comboIndex);
    filling_ = false;
    ConModeTypeSelected();
}

void TccnEditConnectionFrame::DeviceTypeSelected()
{
    if (!readOnly_) {
        gbProtocol->setEnabled(true);
        gbConMode->setEnabled(true);
    }
    const int code = cbDeviceType->currentData().isValid() ? cbDeviceType->currentData().toInt() : -1;
    if (code < 0 || code >= kDeviceTypeCount)
        return;
    const QString className = DeviceTypeClassNames().at(code);
    if (devices_.Front() && devices_.Front()->ClassName() == className && deviceFrame_)
        return;

    if (const int index = devices_.IndexOfClass(className); index >= 0)
        devices_.MoveToFront(index);
    else
        devices_.AddFront(CreateDeviceByType(code));
    ReleaseFrame(deviceFrame_, deviceFrameObject_);
    TccnCustomDevice *device = devices_.Front();
    // The meter's identity stays when only its type changes.
    if (devices_.Count() > 1)
        device->Assign(*devices_.Items(1));
    deviceFrame_ = CreateDeviceEditFrame(*device, pnDevice);
    deviceFrameObject_ = device;
    ShowFrame(deviceFrame_, pnDevice, device);

    FillProtocolCombo();
    SelectComboCode(cbProtocolType, protocols_.Front() ? int(protocols_.Front()->ProtocolType()) : -1);
    ProtocolTypeSelected();
    FillConModeCombo();
    SelectComboCode(cbConModeType, conModes_.Front() ? int(conModes_.Front()->ConModeType()) : -1);
    ConModeTypeSelected();
}

void TccnEditConnectionFrame::ProtocolTypeSelected()
{
    const int code = cbProtocolType->currentData().isValid() ? cbProtocolType->currentData().toInt() : -1;
    if (code < 0 || code >= kDeviceProtocolTypeCount)
        return;
    const QString className = DeviceProtocolTypeClassNames().at(code);
    if (protocols_.Front() && protocols_.Front()->ClassName() == className && protocolFrame_)
        return;

    if (const int index = protocols_.IndexOfClass(className); index >= 0)
        protocols_.MoveToFront(index);
    else
        protocols_.AddFront(CreateDeviceProtocolByType(code));
    ReleaseFrame(protocolFrame_, protocolFrameObject_);
    TccnCustomDeviceProtocol *protocol = protocols_.Front();
    protocolFrame_ = CreateProtocolEditFrame(*protocol, pnProtocol);
    protocolFrameObject_ = protocol;
    ShowFrame(protocolFrame_, pnProtocol, protocol);
}

void TccnEditConnectionFrame::ConModeTypeSelected()
{
    const int code = cbConModeType->currentData().isValid() ? cbConModeType->currentData().toInt() : -1;
    if (code < 0 || code >= kConModeTypeCount)
        return;
    const QString className = ConModeTypeClassNames().at(code);
    if (conModes_.Front() && conModes_.Front()->ClassName() == className && conModeFrame_)
        return;

    // The port (or address) typed last for this kind of line moves to the
    // chosen mode, unless the mode itself holds the latest entry of it.
    bool carryInterface = true;
    const int existing = conModes_.IndexOfClass(className);
    if (existing >= 0) {
        const QString interfaceClass = conModes_.Items(existing)->CustomCommInterface()->ClassName();
        int latest = -1;
        for (int i = 0; i < conModes_.Count() && latest < 0; ++i)
            if (conModes_.Items(i)->CustomCommInterface()->ClassName() == interfaceClass)
                latest = i;
        carryInterface = latest != existing;
    }

    if (existing >= 0) {
        conModes_.MoveToFront(existing);
    } else {
        std::unique_ptr<TccnCustomConMode> created = CreateConModeByType(code);
        // The catalogue's COM1 names no port on most systems.
        if (auto *port = dynamic_cast<TccnComPortInterface *>(created->CustomCommInterface()))
            port->PortName = TccnEditComPortFrame::ProposedPortName();
        conModes_.AddFront(std::move(created));
    }
    ReleaseFrame(conModeFrame_, conModeFrameObject_);
    TccnCustomConMode *mode = conModes_.Front();
    if (carryInterface) {
        TccnCustomCommInterface *own = mode->CustomCommInterface();
        for (int i = 1; i < conModes_.Count(); ++i) {
            const TccnCustomCommInterface *other = conModes_.Items(i)->CustomCommInterface();
            if (own && other && other->ClassName() == own->ClassName()) {
                own->Assign(*other);
                break;
            }
        }
    }
    conModeFrame_ = CreateConModeEditFrame(*mode, pnConMode);
    conModeFrameObject_ = mode;
    ShowFrame(conModeFrame_, pnConMode, mode);
}

bool TccnEditConnectionFrame::CheckInput(QString &message, QWidget *&focusField)
{
    message.clear();
    focusField = nullptr;
    if (cbDeviceType->currentIndex() < 0 || !devices_.Front()) {
        message = u"Не выбран тип измерителя"_s;
        focusField = cbDeviceType;
        return false;
    }
    if (deviceFrame_ && !deviceFrame_->CheckInput(message, focusField))
        return false;
    if (cbProtocolType->currentIndex() < 0 || !protocols_.Front()) {
        message = u"Не выбран тип протокола измерителя"_s;
        focusField = cbProtocolType;
        return false;
    }
    if (protocolFrame_ && !protocolFrame_->CheckInput(message, focusField))
        return false;
    if (cbConModeType->currentIndex() < 0 || !conModes_.Front()) {
        message = u"Не выбран тип подключения"_s;
        focusField = cbConModeType;
        return false;
    }
    if (conModeFrame_ && !conModeFrame_->CheckInput(message, focusField))
        return false;
    return true;
}

bool TccnEditConnectionFrame::Validate()
{
    QString message;
    QWidget *focusField = nullptr;
    if (CheckInput(message, focusField))
        return true;
    ShowError(message, this);
    if (focusField && focusField->isEnabled())
        focusField->setFocus(Qt::OtherFocusReason);
    return false;
}

void TccnEditConnectionFrame::SaveToConnection()
{
    if (deviceFrame_ && deviceFrameObject_)
        deviceFrame_->SaveToObject(deviceFrameObject_);
    if (protocolFrame_ && protocolFrameObject_)
        protocolFrame_->SaveToObject(protocolFrameObject_);
    if (conModeFrame_ && conModeFrameObject_)
        conModeFrame_->SaveToObject(conModeFrameObject_);
    if (devices_.Front())
        connection_->SetCustomDevice(devices_.Front()->Clone());
    if (protocols_.Front())
        connection_->SetCustomDeviceProtocol(protocols_.Front()->Clone());
    if (conModes_.Front())
        connection_->SetCustomConMode(conModes_.Front()->Clone());
}

// --- TccnEditConnectionForm -------------------------------------------------------------------

namespace {

TEditConnectionDialogHook &DialogHook()
{
    static TEditConnectionDialogHook hook;
    return hook;
}

} // namespace

void SetEditConnectionDialogHook(TEditConnectionDialogHook hook)
{
    DialogHook() = std::move(hook);
}

TccnEditConnectionForm::TccnEditConnectionForm(QWidget *parent, bool readOnly,
                                               const TccnConnectionListUIOptions *options, TccnConnection *connection)
    : QDialog(parent)
{
    setWindowTitle(u"Изменить подключение"_s);
    setWindowFlags((windowFlags() | Qt::MSWindowsFixedSizeDialogHint) & ~Qt::WindowContextHelpButtonHint);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    frame_ = new TccnEditConnectionFrame(this, readOnly, options, connection);
    layout->addWidget(frame_, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 0, 8, 0);
    buttons->addStretch(1);
    btnOk = new QPushButton(u"OK"_s, this);
    btnOk->setDefault(true);
    btnCancel = new QPushButton(u"Отмена"_s, this);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, [this] { TryAccept(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    FitToContents();
}

void TccnEditConnectionForm::FitToContents()
{
    // The width is fixed; a frame with many fields may only make it taller.
    if (QLayout *own = layout())
        own->activate();
    setFixedSize(kClientWidth, qMax(kClientHeight, sizeHint().height()));
}

bool TccnEditConnectionForm::TryAccept()
{
    if (!frame_->Validate())
        return false;
    frame_->SaveToConnection();
    accept();
    return true;
}

int TccnEditConnectionForm::Execute()
{
    if (DialogHook())
        return DialogHook()(*this);
    return exec();
}
