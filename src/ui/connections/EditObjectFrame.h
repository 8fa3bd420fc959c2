#pragma once

// Base of the frames that edit one catalogue object in the edit-connection
// dialog: fields laid out as label/field rows, a read-only switch, loading
// from and saving into the object, and the check of the operator's input.

#include <QFrame>
#include <QList>
#include <QString>

class QComboBox;
class QFormLayout;
class QLineEdit;
class QSpinBox;
class TccnPersistent;

class TccnCustomEditFrame : public QFrame
{
public:
    explicit TccnCustomEditFrame(QWidget *parent = nullptr);

    bool ReadOnly() const { return readOnly_; }
    virtual void SetReadOnly(bool readOnly);

    // The object must be given and be of the class the frame edits.
    void LoadFromObject(TccnPersistent *object);
    void SaveToObject(TccnPersistent *object);
    // False with the operator's message and the field to focus when the
    // input cannot be written.
    virtual bool CheckInput(QString &message, QWidget *&focusField);

    // A context for contract checks: class name + "." + method.
    virtual QString ClassName() const { return QStringLiteral("TccnCustomEditFrame"); }

    static constexpr int kMinimumFieldWidth = 64;

protected:
    virtual void DoLoad(TccnPersistent &object) = 0;
    virtual void DoSave(TccnPersistent &object) = 0;

    QFormLayout *Form() const { return form_; }
    // Label/field rows; the fields take part in the read-only switch.
    QSpinBox *AddSpin(const QString &label, const QString &name, qint64 minimum, qint64 maximum);
    QLineEdit *AddEdit(const QString &label, const QString &name);
    QComboBox *AddPickList(const QString &label, const QString &name, const QStringList &items);
    void AddRow(const QString &label, QWidget *field);
    void AddField(QWidget *field) { fields_ << field; }

private:
    QFormLayout *form_ = nullptr;
    QList<QWidget *> fields_;
    bool readOnly_ = false;
};

// Read-only fields take their parent's colour, editable ones the window's.
void SetFieldReadOnly(QWidget *field, bool readOnly);
// Shows `value` in a spin box, clamped to its range.
void SetSpinValue(QSpinBox *spin, qint64 value);
