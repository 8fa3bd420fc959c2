#pragma once

// The serial port of a connection: port name (the ports the system lists, or
// any name typed, such as ttyUSB0 or /dev/pts/3) and the rate.

#include "ui/connections/EditObjectFrame.h"

#include <QStringList>

class QComboBox;

class TccnEditComPortFrame : public TccnCustomEditFrame
{
public:
    enum TRateList {
        // Any rate can be typed (digits only); the usual rates are offered.
        rlEditable,
        // Only the rates the optical probe understands.
        rlOpticalProbe,
    };

    explicit TccnEditComPortFrame(TRateList rateList, QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditComPortFrame"); }

    // A port name must be given and the rate must be a positive integer.
    bool CheckInput(QString &message, QWidget *&focusField) override;

    QComboBox *PortCombo() const { return cbPort; }
    QComboBox *BaudrateCombo() const { return cbBaudrate; }

    static const QStringList &EditableRates();
    static const QStringList &OpticalProbeRates();
    // The port a new serial connection starts with: the first the system
    // lists. Windows keeps the catalogue's COM1, as does a system that lists
    // none (the field takes any name typed).
    static QString ProposedPortName();

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    // The rate typed or chosen; false when it is not an integer above 0.
    bool ReadBaudrate(quint32 &rate) const;

    TRateList rateList_;
    QComboBox *cbPort = nullptr;
    QComboBox *cbBaudrate = nullptr;
};
