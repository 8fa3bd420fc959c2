#pragma once

// Shared pieces of the connection UI tests: the program's options, ready
// connections, and hooks that answer message boxes and the edit dialog.

#include "catalogue/ConnectionList.h"
#include "catalogue/AcceptedConnections.h"
#include "ui/connections/EditConnectionDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/FileDialog.h"

#include <QComboBox>
#include <QMessageBox>
#include <QStringList>
#include <memory>

namespace ccn_test {

struct TShownMessage
{
    QString Text;
    QMessageBox::Icon Icon;
};

// Records every message box and answers questions with `answer`.
class TMessageRecorder
{
public:
    explicit TMessageRecorder(QMessageBox::StandardButton answer = QMessageBox::Yes) : answer_(answer)
    {
        SetMessageDialogHook([this](const QString &text, QMessageBox::Icon icon) {
            messages << TShownMessage{text, icon};
            return icon == QMessageBox::Question ? answer_ : QMessageBox::Ok;
        });
    }
    ~TMessageRecorder() { SetMessageDialogHook(nullptr); }
    TMessageRecorder(const TMessageRecorder &) = delete;
    TMessageRecorder &operator=(const TMessageRecorder &) = delete;

    void SetAnswer(QMessageBox::StandardButton answer) { answer_ = answer; }
    QStringList Texts() const
    {
        QStringList texts;
        for (const TShownMessage &m : messages)
            texts << m.Text;
        return texts;
    }

    QList<TShownMessage> messages;

private:
    QMessageBox::StandardButton answer_;
};

// Puts a hook in place for the life of the object.
class TEditDialogScript
{
public:
    explicit TEditDialogScript(TEditConnectionDialogHook hook) { SetEditConnectionDialogHook(std::move(hook)); }
    ~TEditDialogScript() { SetEditConnectionDialogHook(nullptr); }
    TEditDialogScript(const TEditDialogScript &) = delete;
    TEditDialogScript &operator=(const TEditDialogScript &) = delete;
};

class TFileDialogScript
{
public:
    explicit TFileDialogScript(TFileDialogHook hook) { SetFileDialogHook(std::move(hook)); }
    ~TFileDialogScript() { SetFileDialogHook(nullptr); }
    TFileDialogScript(const TFileDialogScript &) = delete;
    TFileDialogScript &operator=(const TFileDialogScript &) = delete;
};

inline std::unique_ptr<TccnConnectionListUIOptions> MonitorOptions()
{
    auto options = std::make_unique<TccnConnectionListUIOptions>();
    ConfigureMonitorOptions(*options);
    return options;
}

// A connection of the given meter in the Tarvel protocol over `mode`.
inline std::unique_ptr<TccnConnection> MakeConnection(int deviceType, qint32 factoryNum, int mode = cmtDirect232,
                                                      const QString &port = QStringLiteral("COM3"),
                                                      quint32 baudrate = 115200)
{
    auto connection = std::make_unique<TccnConnection>();
    auto device = CreateDeviceByType(deviceType);
    device->FactoryNum = factoryNum;
    connection->SetCustomDevice(std::move(device));
    connection->SetCustomDeviceProtocol(CreateDeviceProtocolByType(dptTarvel));
    auto conMode = CreateConModeByType(mode);
    if (auto *com = dynamic_cast<TccnComPortInterface *>(conMode->CustomCommInterface())) {
        com->PortName = port;
        com->Baudrate = baudrate;
    }
    connection->SetCustomConMode(std::move(conMode));
    return connection;
}

// The position of a type code in one of the dialog's type lists.
inline int ComboIndexOf(const QComboBox *combo, int code)
{
    return combo->findData(code);
}

} // namespace ccn_test
