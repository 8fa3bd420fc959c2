#pragma once

// Saved connections and the connection list with its persisted form. A list
// is kept in the INI file (text form) and in ".ccnn" files (binary or text
// form) as one property stream of class TccnConnectionListWrapper.

#include "catalogue/CatalogueObjects.h"
#include "common/Exceptions.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <compare>
#include <memory>
#include <vector>

// Load and save failures of a connection list, with the operator's text.
class EccnConnectionList : public Exception
{
public:
    using Exception::Exception;
};

// Stream formats of a connection list.
enum TccnStreamFormat : int {
    csfAny = 0, // reading only: binary, then text
    csfBinary = 1,
    csfText = 2,
};

// --- Versions ------------------------------------------------------------------------

struct TVersionNumber
{
    quint8 Major = 0;
    quint8 Minor = 0;
    quint8 Release = 0;
    qint32 Build = 0; // never negative

    // Major, then Minor, Release, Build.
    auto operator<=>(const TVersionNumber &) const = default;
};

inline constexpr TVersionNumber kCurrentConnectionListVersion{1, 5, 6, 21};
// Lists older than this kept the meter address in the factory number.
inline constexpr TVersionNumber kFirstVersionWithDeviceAddress{1, 0, 0, 13};

// -1, 0, 1.
int CompareVersions(const TVersionNumber &a, const TVersionNumber &b);
// "1.5.6"; the build is added only below 21 ("1.6.0.0").
QString VersionText(const TVersionNumber &version);

// A version as a stream object: the extra property "VersionNumber", a list of
// four integers.
class TVersionInfo : public TccnPersistent
{
public:
    QString ClassName() const override { return QStringLiteral("TVersionInfo"); }
    void DefineProperties(std::vector<TccnDefinedProperty> &list) override;

    TVersionNumber Value = kCurrentConnectionListVersion;
    std::function<void()> OnAfterRead;
    std::function<void()> OnBeforeWrite;
};

// --- Layout of the list window -------------------------------------------------------------

class TccnDeviceTreeViewParams : public TccnPersistent
{
public:
    QString ClassName() const override { return QStringLiteral("TccnDeviceTreeViewParams"); }
    void GetProperties(TccnPropertyList &list) override;

    qint32 Width = 130;
};

class TccnConnectionGridParams : public TccnPersistent
{
public:
    QString ClassName() const override { return QStringLiteral("TccnConnectionGridParams"); }
    void GetProperties(TccnPropertyList &list) override;

    qint32 StatusColWidth = 20;
    qint32 DevTypeColWidth = 180;
    qint32 DevProtocolColWidth = 70;
    qint32 ConModeColWidth = 100;
    qint32 ConModeParamColWidth = 185;
};

class TccnConnectionListFormParams : public TccnPersistent
{
public:
    QString ClassName() const override { return QStringLiteral("TccnConnectionListFormParams"); }
    void GetProperties(TccnPropertyList &list) override;

    qint32 Width = 798;
    qint32 Height = 461;
};

class TccnConnectionListUIParams : public TccnPersistent
{
public:
    QString ClassName() const override { return QStringLiteral("TccnConnectionListUIParams"); }
    void GetProperties(TccnPropertyList &list) override;
    void Assign(const TccnConnectionListUIParams &source);

    TccnDeviceTreeViewParams DeviceTreeViewParams;
    TccnConnectionGridParams ConnectionGridParams;
    TccnConnectionListFormParams ConnectionListFormParams;
};

// --- A saved connection ------------------------------------------------------------------------

class TccnConnection : public TccnPersistent
{
public:
    TccnConnection();
    ~TccnConnection() override;

    QString ClassName() const override { return QStringLiteral("TccnConnection"); }

    TccnCustomDevice *CustomDevice() const { return device_.get(); }
    TccnCustomDeviceProtocol *CustomDeviceProtocol() const { return protocol_.get(); }
    TccnCustomConMode *CustomConMode() const { return conMode_.get(); }
    void SetCustomDevice(std::unique_ptr<TccnCustomDevice> device);
    void SetCustomDeviceProtocol(std::unique_ptr<TccnCustomDeviceProtocol> protocol);
    void SetCustomConMode(std::unique_ptr<TccnCustomConMode> conMode);

    // Copies ConID and takes clones of the source's device, protocol and
    // mode; a part the source lacks is left as it is. Selected stays.
    void Assign(const TccnConnection &source);
    std::unique_ptr<TccnConnection> Clone() const;

    void GetProperties(TccnPropertyList &list) override;
    void DefineProperties(std::vector<TccnDefinedProperty> &list) override;

    qint32 ConID = -1;     // -1 until the connection is added to a list
    bool Selected = false; // marks of the list window; not saved

private:
    std::unique_ptr<TccnCustomDevice> device_;
    std::unique_ptr<TccnCustomDeviceProtocol> protocol_;
    std::unique_ptr<TccnCustomConMode> conMode_;
};

// --- The list ---------------------------------------------------------------------------------------

class TccnConnectionList : public TccnPersistent
{
public:
    TccnConnectionList();
    ~TccnConnectionList() override;

    QString ClassName() const override { return QStringLiteral("TccnConnectionList"); }

    const TVersionNumber &Version() const { return version_.Value; }
    const TVersionNumber &LoadedVersion() const { return loadedVersion_; }
    qint32 MaxID() const { return maxID_; }
    TccnConnectionListUIParams &UIParams() { return uiParams_; }
    const TccnConnectionListUIParams &UIParams() const { return uiParams_; }

    int Count() const { return int(items_.size()); }
    // None for a position outside the list.
    TccnConnection *Items(int index) const;

    // Issues the next identifier to the argument and appends a copy of it.
    // False (nothing added) only when the identifiers are exhausted.
    bool AddConnection(TccnConnection &connection);
    // Assigns the item with the same ConID; false when there is none.
    bool UpdateConnection(const TccnConnection &connection);
    bool DeleteConnection(qint32 conID);
    int IndexOfConID(qint32 conID) const;
    TccnConnection *FindByConID(qint32 conID) const;

    // Items without a device count as no device at all.
    bool IsSingleOfType(TDeviceType type) const;
    bool IsSingleOfDevice(TDeviceType type, qint32 factoryNum) const;
    bool HasType(TDeviceType type) const;
    bool HasDevice(TDeviceType type, qint32 factoryNum) const;

    void SetAllSelected(bool selected);
    // By device type, factory number, protocol type, mode type, ConID; a
    // missing part sorts first.
    void SortConnections();
    // Removes all items; MaxID and the layout stay.
    void Clear();
    // Through the binary form, as a stream copy would.
    void Assign(const TccnConnectionList &source);
    // Exchanges the items, MaxID, the loaded version and the layout.
    void Swap(TccnConnectionList &other) noexcept;

    // --- Persistence. Every failure raises EccnConnectionList.
    QByteArray SaveToBytes(int format) const;
    // The list is read beside this one and swapped in whole: a failed load
    // leaves the list as it was.
    void LoadFromBytes(QByteArrayView data, int format);
    void SaveToStream(QIODevice &stream, int format) const;
    // Reads from the current position to the end of the stream.
    void LoadFromStream(QIODevice &stream, int format);
    // Any failure empties the list and gives false; nothing is raised.
    bool TryLoadFromStream(QIODevice &stream, int format) noexcept;
    bool TryLoadFromBytes(QByteArrayView data, int format) noexcept;
    // Writes a temporary file beside the target and renames it into place,
    // so a failed save leaves the old file as it was.
    void SaveToFile(const QString &fileName, int format) const;
    // Opens the file read-only: loading never changes it.
    void LoadFromFile(const QString &fileName, int format);

    // --- Stream object
    void GetProperties(TccnPropertyList &list) override;
    void DefineProperties(std::vector<TccnDefinedProperty> &list) override;
    bool IsCollection() const override { return true; }
    int CollectionCount() const override { return Count(); }
    TccnPersistent *CollectionItem(int index) override { return Items(index); }
    void ClearCollection() override { Clear(); }
    TccnPersistent *AddCollectionItem() override;

private:
    void CheckLoadedVersion();
    void MigrateOldList();
    void LoadBinary(QByteArrayView data);
    void LoadBinaryWithPrefix(QByteArrayView data);
    void LoadTextWithPrefix(QByteArrayView data);
    void LoadInPlace(QByteArrayView data, int format);

    TVersionInfo version_;
    TVersionNumber loadedVersion_ = kCurrentConnectionListVersion;
    qint32 maxID_ = -1;
    TccnConnectionListUIParams uiParams_;
    std::vector<std::unique_ptr<TccnConnection>> items_;
};
