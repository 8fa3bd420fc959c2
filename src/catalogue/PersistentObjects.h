#pragma once

// Persistent catalogue objects: published properties that the property
// stream writes under their names, extra (defined) properties with their own
// stream values, a registry that creates objects from their class names, and
// the binding between an object tree and a component block.

#include "catalogue/PropertyStream.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

class TccnPersistent;

enum class TccnPropertyKind { Integer, Enumeration, Text, Object };

struct TccnProperty
{
    QString Name;
    TccnPropertyKind Kind = TccnPropertyKind::Integer;
    // Integer: the range the field holds; a value outside fails the read.
    qint64 Min = 0;
    qint64 Max = 0;
    // Unsigned 32-bit fields travel as the signed 32-bit value of the same
    // bits, so every value fits the integer tags the reader accepts.
    bool AsSigned32 = false;
    const QStringList *Identifiers = nullptr; // Enumeration: code = position
    std::function<qint64()> GetInteger;       // Integer and Enumeration
    std::function<void(qint64)> SetInteger;
    std::function<QString()> GetText;
    std::function<void(const QString &)> SetText;
    TccnPersistent *Object = nullptr; // Object: nullptr when absent
};

class TccnPropertyList
{
public:
    template <class T>
    void AddInteger(const QString &name, T &field)
    {
        TccnProperty p;
        p.Name = name;
        p.Kind = TccnPropertyKind::Integer;
        p.Min = qint64(std::numeric_limits<T>::min());
        p.Max = qint64(std::numeric_limits<T>::max());
        if constexpr (std::is_same_v<T, quint32>) {
            p.AsSigned32 = true;
            p.Min = std::numeric_limits<qint32>::min();
            p.Max = std::numeric_limits<qint32>::max();
            p.GetInteger = [&field] { return qint64(qint32(field)); };
            p.SetInteger = [&field](qint64 v) { field = quint32(qint32(v)); };
        } else {
            p.GetInteger = [&field] { return qint64(field); };
            p.SetInteger = [&field](qint64 v) { field = T(v); };
        }
        Items.push_back(std::move(p));
    }

    template <class E>
    void AddEnumeration(const QString &name, E &field, const QStringList &identifiers)
    {
        TccnProperty p;
        p.Name = name;
        p.Kind = TccnPropertyKind::Enumeration;
        p.Identifiers = &identifiers;
        p.GetInteger = [&field] { return qint64(field); };
        p.SetInteger = [&field](qint64 v) { field = E(v); };
        Items.push_back(std::move(p));
    }

    void AddText(const QString &name, QString &field);
    void AddObject(const QString &name, TccnPersistent *object);

    const TccnProperty *Find(QStringView name) const;

    std::vector<TccnProperty> Items;
};

// A property the object writes and reads itself (e.g. a version as a list of
// numbers, or a nested block as binary data).
struct TccnDefinedProperty
{
    QString Name;
    // Nothing to write: std::nullopt.
    std::function<std::optional<TStreamValue>()> Write;
    // Raises EPropertyStream (or another Exception) for a value it cannot take.
    std::function<void(const TStreamValue &)> Read;
};

class TccnPersistent
{
public:
    TccnPersistent() = default;
    virtual ~TccnPersistent();

    TccnPersistent(const TccnPersistent &) = delete;
    TccnPersistent &operator=(const TccnPersistent &) = delete;

    virtual QString ClassName() const = 0;

    // Published properties in declaration order, base class first. The
    // entries refer to this object's fields.
    virtual void GetProperties(TccnPropertyList &list);
    // Extra properties, written after the published ones.
    virtual void DefineProperties(std::vector<TccnDefinedProperty> &list);

    // Collections write their items after their own properties, under the
    // name of the property that holds them.
    virtual bool IsCollection() const { return false; }
    virtual int CollectionCount() const { return 0; }
    virtual TccnPersistent *CollectionItem(int) { return nullptr; }
    virtual void ClearCollection() {}
    // A new item at the end, for reading; nullptr for a non-collection.
    virtual TccnPersistent *AddCollectionItem() { return nullptr; }
};

// --- Class registry ------------------------------------------------------------

enum class TccnClassFamily { Device, Protocol, CommInterface, CommHardware, ConMode };

using TccnFactory = std::function<std::unique_ptr<TccnPersistent>()>;

// Catalogue classes by name (CatalogueClasses() holds every one of them).
class TccnClassRegistry
{
public:
    void Register(const QString &className, TccnClassFamily family, TccnFactory factory);
    // nullptr for a class that is unknown or of another family. Class names
    // compare ignoring case, as identifiers do.
    std::unique_ptr<TccnPersistent> Create(QStringView className, TccnClassFamily family) const;
    bool IsKnown(QStringView className, TccnClassFamily family) const;

private:
    struct Entry
    {
        QString ClassName;
        TccnClassFamily Family;
        TccnFactory Factory;
    };
    const Entry *Find(QStringView className, TccnClassFamily family) const;
    std::vector<Entry> entries_;
};

// --- Object tree <-> component block --------------------------------------------

// A root object that exists only while a stream is written or read: it
// publishes one object under one name (TccnCustomDeviceWrapper publishes
// CustomDevice, ...).
class TccnStreamWrapper : public TccnPersistent
{
public:
    TccnStreamWrapper(QString className, QString propertyName, TccnPersistent *object);
    QString ClassName() const override { return className_; }
    void GetProperties(TccnPropertyList &list) override;

private:
    QString className_;
    QString propertyName_;
    TccnPersistent *object_;
};

namespace CcnStreaming {

// The component block of a root object: its properties under dotted paths.
TStreamComponent ObjectToComponent(TccnPersistent &root);
QByteArray ObjectToBinary(TccnPersistent &root);

// Fills an existing root from a block: the class name must be the root's,
// every property must resolve and take its value. Raises EPropertyStream.
void ComponentToObject(const TStreamComponent &component, TccnPersistent &root);
// A complete binary block (nothing may follow it).
void BinaryToObject(QByteArrayView block, TccnPersistent &root);

} // namespace CcnStreaming
