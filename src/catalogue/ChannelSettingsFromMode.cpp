#include "catalogue/ChannelSettingsFromMode.h"

#include "catalogue/CatalogueObjects.h"

using namespace Qt::StringLiterals;

TPCASettings ConModeToPCASettings(const TccnCustomConMode *conMode)
{
    TPCASettings settings = PCAZeroSettings();
    if (!conMode)
        return settings;

    if (const auto *port = dynamic_cast<const TccnComPortInterface *>(conMode->CustomCommInterface())) {
        TPCAComPortRecord &record = settings.ComPort;
        record.ChannelType = pcaComPort;
        // The whole name goes along: a cut one would open another port or none.
        PCASetComPortName(settings, port->PortName);
        record.BaudRate = port->Baudrate;
    }
    if (dynamic_cast<const TccnDirect232ConMode *>(conMode)) {
        settings.ComPort.ChannelType = pcaComPort;
        settings.ComPort.Mode = cpmDirect;
        settings.ComPort.LinesOn = 1;
    }
    if (dynamic_cast<const TccnVDOptoAttach232ConMode *>(conMode)) {
        settings.ComPort.ChannelType = pcaComPort;
        settings.ComPort.Mode = cpmOptoAttach;
        settings.ComPort.LinesOn = 1;
    }
    if (const auto *phone = dynamic_cast<const TccnPhoneModem232ConMode *>(conMode)) {
        TPCAComPortRecord &record = settings.ComPort;
        const TccnPhoneModem &modem = phone->PhoneModem();
        record.ChannelType = pcaComPort;
        record.Mode = cpmPhoneModem;
        record.InitString.SetText(modem.InitString);
        if (modem.ConnectType == pmctDialing) {
            record.Phone.DialKind = 1;
            record.Phone.PhoneNumber.SetText(modem.PhoneNumber);
            record.Phone.ToneDial = modem.DialType == pmdtTone ? 1 : 0;
        } else {
            record.Phone.DialKind = 0;
        }
    }
    if (const auto *radio = dynamic_cast<const TccnRadioModem232ConMode *>(conMode)) {
        TPCAComPortRecord &record = settings.ComPort;
        const TccnRadioModem &modem = radio->RadioModem();
        record.ChannelType = pcaComPort;
        record.Mode = cpmRadioModem;
        record.InitString.SetText(modem.InitString);
        record.CallNumber.SetText(modem.CallNumber);
    }
    if (const auto *tcp = dynamic_cast<const TccnTCPIPInterface *>(conMode->CustomCommInterface())) {
        if (tcp->IpPort < 0 || tcp->IpPort > 65535)
            throw EccnRangeError(u"IP-порт %1 вне допустимого диапазона 0..65535"_s.arg(tcp->IpPort));
        TPCAEthernetRecord &record = settings.Ethernet;
        record.ChannelType = pcaEthernetTCP;
        record.IpAddress.SetText(tcp->IpAddress);
        record.IpPort = quint16(tcp->IpPort);
        record.Reserved.Length = 0;
    }
    return settings;
}
