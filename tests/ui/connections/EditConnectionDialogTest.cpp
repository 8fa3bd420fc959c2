#include "ui/ConnectionsTestSupport.h"

#include "channel/SerialLine.h"

#include "ui/connections/EditComPortFrame.h"
#include "ui/connections/EditConModeFrame.h"
#include "ui/connections/EditDeviceFrame.h"
#include "ui/connections/EditIec101ProtocolFrame.h"
#include "ui/connections/EditPhoneModemFrame.h"
#include "ui/connections/EditRadioModemFrame.h"
#include "ui/connections/EditTcpIpFrame.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QPushButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace ccn_test;
using namespace Qt::StringLiterals;

namespace {

class EditConnectionTest : public ::testing::Test
{
protected:
    std::unique_ptr<TccnEditConnectionForm> Open(TccnConnection &connection)
    {
        auto form = std::make_unique<TccnEditConnectionForm>(nullptr, false, options.get(), &connection);
        form->show();
        form->activateWindow();
        return form;
    }
    static TccnEditConnectionFrame &Frame(TccnEditConnectionForm &form) { return *form.Frame(); }
    static TCcnEditCustomConModeFrame &ModeFrame(TccnEditConnectionForm &form)
    {
        auto *frame = dynamic_cast<TCcnEditCustomConModeFrame *>(form.Frame()->ConModeFrame());
        EXPECT_NE(frame, nullptr);
        return *frame;
    }
    static void ChooseMode(TccnEditConnectionForm &form, int mode)
    {
        form.Frame()->ChooseConModeType(ComboIndexOf(form.Frame()->ConModeTypeCombo(), mode));
    }
    static void ChooseDevice(TccnEditConnectionForm &form, int type)
    {
        form.Frame()->ChooseDeviceType(ComboIndexOf(form.Frame()->DeviceTypeCombo(), type));
    }
    // OK must refuse with `message` and leave the focus on `field`.
    void ExpectRefused(TccnEditConnectionForm &form, const QString &message, QWidget *field)
    {
        recorder.messages.clear();
        EXPECT_FALSE(form.TryAccept());
        ASSERT_EQ(recorder.messages.size(), 1);
        EXPECT_EQ(recorder.messages[0].Text, message);
        EXPECT_EQ(recorder.messages[0].Icon, QMessageBox::Critical);
        EXPECT_EQ(form.focusWidget(), field);
        EXPECT_NE(form.result(), QDialog::Accepted);
    }

    std::unique_ptr<TccnConnectionListUIOptions> options = MonitorOptions();
    TMessageRecorder recorder;
};

TEST_F(EditConnectionTest, NewConnectionListsTheProgramsChoicesAndSavesDefaults)
{
    TccnConnection connection;
    auto form = Open(connection);
    EXPECT_EQ(form->windowTitle(), u"Изменить подключение"_s);
    EXPECT_GE(form->width(), TccnEditConnectionForm::kClientWidth);
    EXPECT_GE(form->height(), TccnEditConnectionForm::kClientHeight);

    QStringList devices, protocols, modes;
    for (int i = 0; i < Frame(*form).DeviceTypeCombo()->count(); ++i)
        devices << Frame(*form).DeviceTypeCombo()->itemText(i);
    for (int i = 0; i < Frame(*form).ProtocolTypeCombo()->count(); ++i)
        protocols << Frame(*form).ProtocolTypeCombo()->itemText(i);
    for (int i = 0; i < Frame(*form).ConModeTypeCombo()->count(); ++i)
        modes << Frame(*form).ConModeTypeCombo()->itemText(i);
    // The six meters in code order, only the Tarvel protocol, all five modes.
    EXPECT_EQ(devices, (QStringList{DeviceTypeFullNames()[dtR5AS], DeviceTypeFullNames()[dtR5AS2020],
                                    DeviceTypeFullNames()[dtM7], DeviceTypeFullNames()[dtM7L12020],
                                    DeviceTypeFullNames()[dtM7L22020], DeviceTypeFullNames()[dtM7SQ]}));
    EXPECT_EQ(protocols, QStringList{u"Tarvel"_s});
    EXPECT_EQ(modes, ConModeTypeNames());
    EXPECT_TRUE(Frame(*form).ProtocolGroup()->isEnabled());
    EXPECT_TRUE(Frame(*form).ConModeGroup()->isEnabled());

    // The stored factory number 0 is below the field's minimum.
    auto *deviceFrame = dynamic_cast<TccnEditCustomDeviceFrame *>(Frame(*form).DeviceFrame());
    ASSERT_NE(deviceFrame, nullptr);
    EXPECT_EQ(deviceFrame->FactoryNumEdit()->value(), 1);
    EXPECT_EQ(connection.CustomDevice(), nullptr); // nothing written before OK

    ASSERT_TRUE(form->TryAccept());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(recorder.messages.isEmpty());
    ASSERT_NE(connection.CustomDevice(), nullptr);
    EXPECT_EQ(connection.CustomDevice()->DeviceType(), dtR5AS);
    EXPECT_EQ(connection.CustomDevice()->FactoryNum, 1);
    ASSERT_NE(connection.CustomDeviceProtocol(), nullptr);
    EXPECT_EQ(connection.CustomDeviceProtocol()->ClassName(), u"TccnTarvelProtocol"_s);
    ASSERT_NE(connection.CustomConMode(), nullptr);
    EXPECT_EQ(connection.CustomConMode()->ClassName(), u"TccnDirect232ConMode"_s);
    // a port this system has, where it lists one (COM1 names none off Windows)
    QStringList ports;
    FillCOMPortList(&ports);
#ifdef Q_OS_WIN
    const QString proposed = u"COM1"_s;
#else
    const QString proposed = ports.isEmpty() ? u"COM1"_s : ports.first();
#endif
    EXPECT_EQ(dynamic_cast<TccnDirect232ConMode &>(*connection.CustomConMode()).ComPortInterface().PortName, proposed);
}

TEST_F(EditConnectionTest, DeviceTypeSwitchKeepsIdentityAndReturnsToTheFirstObject)
{
    auto connection = MakeConnection(dtR5AS, 4711);
    connection->CustomDevice()->Comment = u"Подстанция 7"_s;
    auto form = Open(*connection);
    auto *deviceFrame = dynamic_cast<TccnEditCustomDeviceFrame *>(Frame(*form).DeviceFrame());
    ASSERT_NE(deviceFrame, nullptr);
    EXPECT_EQ(deviceFrame->FactoryNumEdit()->value(), 4711);
    const TccnCustomDevice *first = Frame(*form).DeviceHistory().Front();

    deviceFrame->FactoryNumEdit()->setValue(815);
    deviceFrame->CommentEdit()->setText(u"ТП-12"_s);
    ChooseDevice(*form, dtM7SQ);
    deviceFrame = dynamic_cast<TccnEditCustomDeviceFrame *>(Frame(*form).DeviceFrame());
    ASSERT_NE(deviceFrame, nullptr);
    EXPECT_EQ(Frame(*form).DeviceHistory().Front()->DeviceType(), dtM7SQ);
    EXPECT_EQ(deviceFrame->FactoryNumEdit()->value(), 815);
    EXPECT_EQ(deviceFrame->CommentEdit()->text(), u"ТП-12"_s);

    ChooseDevice(*form, dtR5AS);
    EXPECT_EQ(Frame(*form).DeviceHistory().Front(), first);
    EXPECT_EQ(Frame(*form).DeviceHistory().Count(), 2);

    ASSERT_TRUE(form->TryAccept());
    EXPECT_EQ(connection->CustomDevice()->DeviceType(), dtR5AS);
    EXPECT_EQ(connection->CustomDevice()->FactoryNum, 815);
    EXPECT_EQ(connection->CustomDevice()->Comment, u"ТП-12"_s);
    // The connection holds a copy, not the dialog's object.
    EXPECT_NE(connection->CustomDevice(), first);
}

TEST_F(EditConnectionTest, SerialPortCarriesOverBetweenSerialModes)
{
    auto connection = MakeConnection(dtM7, 1, cmtDirect232, u"COM5"_s, 9600);
    auto form = Open(*connection);
    EXPECT_EQ(ModeFrame(*form).ComPortFrame()->PortCombo()->currentText(), u"COM5"_s);

    ChooseMode(*form, cmtPhoneModem232);
    ASSERT_NE(ModeFrame(*form).ComPortFrame(), nullptr);
    EXPECT_EQ(ModeFrame(*form).ComPortFrame()->PortCombo()->currentText(), u"COM5"_s);
    EXPECT_EQ(ModeFrame(*form).ComPortFrame()->BaudrateCombo()->currentText(), u"9600"_s);

    // The modem's own port changes; going back to the cable, whose entry is
    // older, takes the newer port along.
    ModeFrame(*form).ComPortFrame()->PortCombo()->setCurrentText(u"ttyUSB0"_s);
    ChooseMode(*form, cmtDirect232);
    EXPECT_EQ(ModeFrame(*form).ComPortFrame()->PortCombo()->currentText(), u"ttyUSB0"_s);

    // TCP/IP has no serial port: switching there and back leaves the cable's
    // entry as the latest serial one, so nothing is carried.
    ModeFrame(*form).ComPortFrame()->PortCombo()->setCurrentText(u"/dev/pts/3"_s);
    ChooseMode(*form, cmtDirectTCPIP);
    ChooseMode(*form, cmtDirect232);
    EXPECT_EQ(ModeFrame(*form).ComPortFrame()->PortCombo()->currentText(), u"/dev/pts/3"_s);

    ASSERT_TRUE(form->TryAccept());
    auto *mode = dynamic_cast<TccnDirect232ConMode *>(connection->CustomConMode());
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->ComPortInterface().PortName, u"/dev/pts/3"_s);
    EXPECT_EQ(mode->ComPortInterface().Baudrate, 9600u);
}

TEST_F(EditConnectionTest, OpticalProbeOffersItsRatesOnly)
{
    auto connection = MakeConnection(dtM7, 1, cmtDirect232, u"COM2"_s, 38400);
    auto form = Open(*connection);
    ChooseMode(*form, cmtVDOptoAttach232);
    QComboBox *rate = ModeFrame(*form).ComPortFrame()->BaudrateCombo();
    EXPECT_FALSE(rate->isEditable());
    EXPECT_EQ(rate->count(), 5);
    EXPECT_EQ(rate->currentText(), u"2400"_s);
    ASSERT_TRUE(form->TryAccept());
    auto *mode = dynamic_cast<TccnVDOptoAttach232ConMode *>(connection->CustomConMode());
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->ComPortInterface().PortName, u"COM2"_s);
    EXPECT_EQ(mode->ComPortInterface().Baudrate, 2400u);

    // A rate the probe knows is shown as stored.
    auto stored = MakeConnection(dtM7, 1, cmtVDOptoAttach232, u"COM2"_s, 19200);
    auto second = Open(*stored);
    EXPECT_EQ(ModeFrame(*second).ComPortFrame()->BaudrateCombo()->currentText(), u"19200"_s);
}

TEST_F(EditConnectionTest, SerialFieldsRefuseMissingPortAndBadRate)
{
    auto connection = MakeConnection(dtM7, 77, cmtDirect232, u"COM3"_s, 115200);
    auto before = connection->Clone();
    auto form = Open(*connection);
    TccnEditComPortFrame *port = ModeFrame(*form).ComPortFrame();

    port->PortCombo()->setCurrentText(QString());
    ExpectRefused(*form, u"Не задан Com-порт"_s, port->PortCombo());

    port->PortCombo()->setCurrentText(u" ttyS1"_s);
    // Only digits can be typed into the rate.
    port->BaudrateCombo()->lineEdit()->clear();
    QTest::keyClicks(port->BaudrateCombo()->lineEdit(), u"12x0"_s);
    EXPECT_EQ(port->BaudrateCombo()->currentText(), u"120"_s);
    port->BaudrateCombo()->lineEdit()->setText(u"0"_s);
    ExpectRefused(*form, u"Некорректно задана скорость обмена"_s, port->BaudrateCombo());
    port->BaudrateCombo()->lineEdit()->setText(u"99999999999"_s); // beyond 32 bits
    ExpectRefused(*form, u"Некорректно задана скорость обмена"_s, port->BaudrateCombo());

    // Refusals wrote nothing.
    auto *mode = dynamic_cast<TccnDirect232ConMode *>(connection->CustomConMode());
    EXPECT_EQ(mode->ComPortInterface().PortName, u"COM3"_s);
    EXPECT_EQ(connection->CustomDevice()->FactoryNum, before->CustomDevice()->FactoryNum);

    port->BaudrateCombo()->lineEdit()->setText(u"57600"_s);
    ASSERT_TRUE(form->TryAccept());
    mode = dynamic_cast<TccnDirect232ConMode *>(connection->CustomConMode());
    EXPECT_EQ(mode->ComPortInterface().PortName, u" ttyS1"_s); // as typed
    EXPECT_EQ(mode->ComPortInterface().Baudrate, 57600u);
}

TEST_F(EditConnectionTest, ModemFieldsFollowTheConnectionKind)
{
    auto connection = MakeConnection(dtM7, 5, cmtPhoneModem232);
    auto form = Open(*connection);
    auto *phone = dynamic_cast<TccnEditPhoneModemFrame *>(ModeFrame(*form).HardwareFrame());
    ASSERT_NE(phone, nullptr);
    EXPECT_FALSE(phone->PhoneNumberEdit()->isHidden());
    ExpectRefused(*form, u"Не задан номер телефона"_s, phone->PhoneNumberEdit());

    // A direct line needs no number, and its fields are hidden.
    phone->ConnectTypeCombo()->setCurrentIndex(pmctDirect);
    EXPECT_TRUE(phone->PhoneNumberEdit()->isHidden());
    EXPECT_TRUE(phone->DialTypeCombo()->isHidden());
    phone->InitStringEdit()->setText(u"ATZ"_s);
    ASSERT_TRUE(form->TryAccept());
    auto *mode = dynamic_cast<TccnPhoneModem232ConMode *>(connection->CustomConMode());
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->PhoneModem().ConnectType, pmctDirect);
    EXPECT_EQ(mode->PhoneModem().InitString, u"ATZ"_s);

    auto radioConnection = MakeConnection(dtM7, 5, cmtRadioModem232);
    auto radioForm = Open(*radioConnection);
    auto *radio = dynamic_cast<TccnEditRadioModemFrame *>(ModeFrame(*radioForm).HardwareFrame());
    ASSERT_NE(radio, nullptr);
    ExpectRefused(*radioForm, u"Не задан позывной"_s, radio->CallNumberEdit());
    radio->CallNumberEdit()->setText(u"R-17"_s);
    ASSERT_TRUE(radioForm->TryAccept());
    EXPECT_EQ(dynamic_cast<TccnRadioModem232ConMode *>(radioConnection->CustomConMode())->RadioModem().CallNumber,
              u"R-17"_s);
}

TEST_F(EditConnectionTest, TcpAddressMustBeDottedIPv4)
{
    auto connection = MakeConnection(dtM7, 5, cmtDirectTCPIP);
    auto *tcp = dynamic_cast<TccnDirectTCPIPConMode *>(connection->CustomConMode());
    tcp->TCPIPInterface().IpPort = 70000; // more than a TCP port can be
    auto form = Open(*connection);
    auto *frame = dynamic_cast<TccnEditDirectTCPIPConModeFrame *>(Frame(*form).ConModeFrame());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->IpPortEdit()->value(), 65535);

    ExpectRefused(*form, u"Не задан IP-адрес"_s, frame->IpAddressEdit());
    for (const QString &bad : {u"10.0.1"_s, u"10.0.0.1.5"_s, u"256.1.1.1"_s, u"a.b.c.d"_s, u"10..0.1"_s}) {
        frame->IpAddressEdit()->setText(bad);
        ExpectRefused(*form, u"Некорректно задан IP-адрес"_s, frame->IpAddressEdit());
    }
    frame->IpAddressEdit()->setText(u"192.168.0.17"_s);
    frame->IpPortEdit()->setValue(4001);
    ASSERT_TRUE(form->TryAccept());
    tcp = dynamic_cast<TccnDirectTCPIPConMode *>(connection->CustomConMode());
    EXPECT_EQ(tcp->TCPIPInterface().IpAddress, u"192.168.0.17"_s);
    EXPECT_EQ(tcp->TCPIPInterface().IpPort, 4001);
}

TEST_F(EditConnectionTest, ValidationRunsDeviceProtocolThenMode)
{
    // A meter that speaks IEC 101 here, so the protocol check has something
    // to refuse.
    TccnConnectionListUIOptions wide;
    wide.AddDeviceTypeOptions(dtR5, TDeviceProtocolTypes{dptTarvel, dptIEC101}, TConModeTypes{cmtDirectTCPIP});
    TccnConnection connection;
    auto device = CreateDeviceByType(dtR5);
    device->FactoryNum = 9;
    connection.SetCustomDevice(std::move(device));
    connection.SetCustomDeviceProtocol(CreateDeviceProtocolByType(dptIEC101));
    connection.SetCustomConMode(CreateConModeByType(cmtDirectTCPIP));

    TccnEditConnectionForm form(nullptr, false, &wide, &connection);
    form.show();
    auto *iec = dynamic_cast<TccnEditIEC101ProtocolFrame *>(form.Frame()->ProtocolFrame());
    ASSERT_NE(iec, nullptr);
    iec->LinkAddressEdit()->setValue(300);
    iec->ASDUAddressEdit()->setValue(300);
    // Both the protocol and the (empty) IP address are wrong: the protocol
    // comes first.
    ExpectRefused(form, u"Значение адреса связи не соответствует выбранной длине "_s, iec->LinkAddressEdit());
    iec->LinkAddressLengthGroup()->button(2)->setChecked(true);
    ExpectRefused(form, u"Значение адреса ASDU не соответствует выбранной длине "_s, iec->ASDUAddressEdit());
    iec->ASDUAddressLengthGroup()->button(2)->setChecked(true);
    auto *tcp = dynamic_cast<TccnEditDirectTCPIPConModeFrame *>(form.Frame()->ConModeFrame());
    ASSERT_NE(tcp, nullptr);
    ExpectRefused(form, u"Не задан IP-адрес"_s, tcp->IpAddressEdit());
    tcp->IpAddressEdit()->setText(u"10.1.2.3"_s);
    ASSERT_TRUE(form.TryAccept());
    auto *saved = dynamic_cast<TccnIEC101Protocol *>(connection.CustomDeviceProtocol());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->LinkAddress, 300);
    EXPECT_EQ(saved->LinkAddressLength, 2);
    EXPECT_EQ(saved->ASDUAddressLength, 2);
}

TEST_F(EditConnectionTest, RefusedConnectionCannotBeOpened)
{
    auto kl2 = MakeConnection(dtKL2, 3);
    try {
        TccnEditConnectionForm form(nullptr, false, options.get(), kl2.get());
        FAIL() << "the dialog opened over a refused connection";
    } catch (const Exception &error) {
        EXPECT_EQ(error.Message(), u"Заданный тип измерителя не поддерживается"_s);
    }

    auto modbus = MakeConnection(dtM7, 3);
    modbus->SetCustomDeviceProtocol(CreateDeviceProtocolByType(dptModbusRTU));
    EXPECT_THROW(TccnEditConnectionForm(nullptr, false, options.get(), modbus.get()), Exception);

    // Read-only lists every type and checks nothing.
    TccnEditConnectionForm readOnly(nullptr, true, options.get(), kl2.get());
    EXPECT_EQ(readOnly.Frame()->DeviceTypeCombo()->count(), kDeviceTypeCount);
    EXPECT_FALSE(readOnly.Frame()->DeviceGroup()->isEnabled());
    EXPECT_EQ(readOnly.Frame()->DeviceTypeCombo()->currentData().toInt(), int(dtKL2));
}

TEST_F(EditConnectionTest, CancelAndEscapeWriteNothing)
{
    auto connection = MakeConnection(dtM7, 42, cmtDirect232, u"COM7"_s, 19200);
    for (int way = 0; way < 2; ++way) {
        auto form = Open(*connection);
        auto *device = dynamic_cast<TccnEditCustomDeviceFrame *>(Frame(*form).DeviceFrame());
        device->FactoryNumEdit()->setValue(43);
        ChooseMode(*form, cmtDirectTCPIP);
        if (way == 0)
            QTest::mouseClick(form->CancelButton(), Qt::LeftButton);
        else
            QTest::keyClick(form.get(), Qt::Key_Escape);
        EXPECT_EQ(form->result(), QDialog::Rejected);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(connection->CustomDevice()->FactoryNum, 42);
        EXPECT_EQ(connection->CustomConMode()->ConModeType(), cmtDirect232);
    }
    EXPECT_TRUE(recorder.messages.isEmpty());
}

TEST_F(EditConnectionTest, ReadOnlyFieldsCannotBeEdited)
{
    auto connection = MakeConnection(dtM7, 42, cmtPhoneModem232);
    TccnEditConnectionForm form(nullptr, true, options.get(), connection.get());
    EXPECT_FALSE(form.Frame()->ProtocolGroup()->isEnabled());
    EXPECT_FALSE(form.Frame()->ConModeGroup()->isEnabled());
    auto *device = dynamic_cast<TccnEditCustomDeviceFrame *>(form.Frame()->DeviceFrame());
    EXPECT_TRUE(device->FactoryNumEdit()->isReadOnly());
    EXPECT_TRUE(device->CommentEdit()->isReadOnly());
    auto *phone = dynamic_cast<TccnEditPhoneModemFrame *>(ModeFrame(form).HardwareFrame());
    EXPECT_TRUE(phone->PhoneNumberEdit()->isReadOnly());
    EXPECT_FALSE(phone->ConnectTypeCombo()->isEnabled());
    EXPECT_FALSE(ModeFrame(form).ComPortFrame()->PortCombo()->isEnabled());
}

TEST_F(EditConnectionTest, HistoryHoldsOneObjectPerClass)
{
    TObjHistoryList<TccnCustomDevice> history;
    history.AddFront(CreateDeviceByType(dtM7));
    history.AddFront(CreateDeviceByType(dtR5AS));
    try {
        history.AddFront(CreateDeviceByType(dtM7));
        FAIL() << "a second object of a class was taken";
    } catch (const Exception &error) {
        EXPECT_EQ(error.Message(), u"Список истории уже содержит экземпляр данного класса"_s);
    }
    EXPECT_EQ(history.Count(), 2);
    history.MoveToFront(history.IndexOfClass(u"TccnM7Dev"_s));
    EXPECT_EQ(history.Front()->DeviceType(), dtM7);
    EXPECT_EQ(history.Items(1)->DeviceType(), dtR5AS);
    EXPECT_EQ(history.Items(2), nullptr);
}

} // namespace
