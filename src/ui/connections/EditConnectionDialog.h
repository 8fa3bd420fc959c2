#pragma once

// The dialog in which the operator composes one connection: the meter, its
// protocol and the connection mode, each chosen from a type list and edited
// in a frame of its class. The dialog works on the connection handed to it
// and writes into it only when OK finds the input valid.

#include "common/Exceptions.h"

#include <QDialog>
#include <QFrame>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;
class TccnConnection;
class TccnConnectionListUIOptions;
class TccnCustomConMode;
class TccnCustomDevice;
class TccnCustomDeviceProtocol;
class TccnCustomEditFrame;
class TccnPersistent;

// The objects the operator has looked at while switching types, at most one
// per class, the most recent first; they keep the operator's entries.
template <class T>
class TObjHistoryList
{
public:
    int Count() const { return int(items_.size()); }
    T *Items(int index) const { return index >= 0 && index < Count() ? items_[size_t(index)].get() : nullptr; }
    T *Front() const { return Items(0); }
    int IndexOfClass(const QString &className) const
    {
        for (int i = 0; i < Count(); ++i)
            if (items_[size_t(i)]->ClassName() == className)
                return i;
        return -1;
    }
    // Puts the object in front; a second object of a class is refused.
    T *AddFront(std::unique_ptr<T> object)
    {
        if (!object)
            return nullptr;
        if (IndexOfClass(object->ClassName()) >= 0)
            throw Exception(QStringLiteral("Список истории уже содержит экземпляр данного класса"));
        items_.insert(items_.begin(), std::move(object));
        return Front();
    }
    T *MoveToFront(int index)
    {
        if (index > 0 && index < Count()) {
            auto object = std::move(items_[size_t(index)]);
            items_.erase(items_.begin() + index);
            items_.insert(items_.begin(), std::move(object));
        }
        return Front();
    }
    void Clear() { items_.clear(); }

private:
    std::vector<std::unique_ptr<T>> items_;
};

// The frame of the dialog: three group boxes side by side, each a type list
// above the edit frame of the chosen class.
class TccnEditConnectionFrame : public QFrame
{
public:
    // The connection and the options are required. Raises the options'
    // refusal of the connection (when not read-only) and the errors of empty
    // type lists.
    TccnEditConnectionFrame(QWidget *parent, bool readOnly, const TccnConnectionListUIOptions *options,
                            TccnConnection *connection);
    ~TccnEditConnectionFrame() override;

    bool ReadOnly() const { return readOnly_; }

    // Validation on OK: the first failure is shown in an error box and its
    // field gets the focus.
    bool Validate();
    // As Validate, without the box: the message and the field.
    bool CheckInput(QString &message, QWidget *&focusField);
    // Writes the frames into the chosen objects and hands clones of them to
    // the connection.
    void SaveToConnection();

    // Choosing a type as the operator does (by combo position).
    void ChooseDeviceType(int comboIndex);
    void ChooseProtocolType(int comboIndex);
    void ChooseConModeType(int comboIndex);

    QComboBox *DeviceTypeCombo() const { return cbDeviceType; }
    QComboBox *ProtocolTypeCombo() const { return cbProtocolType; }
    QComboBox *ConModeTypeCombo() const { return cbConModeType; }
    QGroupBox *DeviceGroup() const { return gbDevice; }
    QGroupBox *ProtocolGroup() const { return gbProtocol; }
    QGroupBox *ConModeGroup() const { return gbConMode; }
    TccnCustomEditFrame *DeviceFrame() const { return deviceFrame_; }
    TccnCustomEditFrame *ProtocolFrame() const { return protocolFrame_; }
    TccnCustomEditFrame *ConModeFrame() const { return conModeFrame_; }
    const TObjHistoryList<TccnCustomDevice> &DeviceHistory() const { return devices_; }
    const TObjHistoryList<TccnCustomDeviceProtocol> &ProtocolHistory() const { return protocols_; }
    const TObjHistoryList<TccnCustomConMode> &ConModeHistory() const { return conModes_; }

private:
    QGroupBox *CreateGroup(const QString &caption, const QString &label, QComboBox *&combo, QWidget *&panel);
    void LoadConnection();
    void ReleaseFrame(TccnCustomEditFrame *&frame, TccnPersistent *&object);
    void ShowFrame(TccnCustomEditFrame *frame, QWidget *panel, TccnPersistent *object);
    void FillDeviceCombo();
    void FillProtocolCombo();
    void FillConModeCombo();
    void SelectComboCode(QComboBox *combo, int code);
    void DeviceTypeSelected();
    void ProtocolTypeSelected();
    void ConModeTypeSelected();
    // The operator's choice: errors end in a box instead of the event loop.
    void RunGuarded(const std::function<void()> &action);

    TccnConnection *connection_;
    const TccnConnectionListUIOptions *options_;
    bool readOnly_;
    bool filling_ = false;

    QGroupBox *gbDevice = nullptr;
    QGroupBox *gbProtocol = nullptr;
    QGroupBox *gbConMode = nullptr;
    QComboBox *cbDeviceType = nullptr;
    QComboBox *cbProtocolType = nullptr;
    QComboBox *cbConModeType = nullptr;
    QWidget *pnDevice = nullptr;
    QWidget *pnProtocol = nullptr;
    QWidget *pnConMode = nullptr;

    TObjHistoryList<TccnCustomDevice> devices_;
    TObjHistoryList<TccnCustomDeviceProtocol> protocols_;
    TObjHistoryList<TccnCustomConMode> conModes_;
    TccnCustomEditFrame *deviceFrame_ = nullptr;
    TccnCustomEditFrame *protocolFrame_ = nullptr;
    TccnCustomEditFrame *conModeFrame_ = nullptr;
    TccnPersistent *deviceFrameObject_ = nullptr;
    TccnPersistent *protocolFrameObject_ = nullptr;
    TccnPersistent *conModeFrameObject_ = nullptr;
};

// The edit frame of an object's class, a child of `parent`; nullptr for a
// class without one.
TccnCustomEditFrame *CreateDeviceEditFrame(const TccnCustomDevice &device, QWidget *parent);
TccnCustomEditFrame *CreateProtocolEditFrame(const TccnCustomDeviceProtocol &protocol, QWidget *parent);
TccnCustomEditFrame *CreateConModeEditFrame(const TccnCustomConMode &conMode, QWidget *parent);

class TccnEditConnectionForm : public QDialog
{
public:
    TccnEditConnectionForm(QWidget *parent, bool readOnly, const TccnConnectionListUIOptions *options,
                           TccnConnection *connection);

    TccnEditConnectionFrame *Frame() const { return frame_; }
    QPushButton *OkButton() const { return btnOk; }
    QPushButton *CancelButton() const { return btnCancel; }

    // The OK button: validates, writes and closes with Accepted; false
    // (the dialog stays) when the input is refused.
    bool TryAccept();
    // Runs the dialog modally (or through the test hook).
    int Execute();
    // Height for the frames now shown (the width stays).
    void FitToContents();

    static constexpr int kClientWidth = 684;
    static constexpr int kClientHeight = 392;

private:
    TccnEditConnectionFrame *frame_ = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
};

// Tests drive the dialog instead of the operator: the hook gets the form,
// may fill it and press its buttons, and returns the dialog's result.
// nullptr restores the modal run.
using TEditConnectionDialogHook = std::function<int(TccnEditConnectionForm &form)>;
void SetEditConnectionDialogHook(TEditConnectionDialogHook hook);
