#include "catalogue/ConnectionList.h"

#include "catalogue/PropertyStreamText.h"
#include "common/Contracts.h"
#include "common/OsErrorText.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

const QString kLoadErrorPrefix = u"Список подключений. Ошибка загрузки данных. Неверный формат. "_s;

// A connection-list file is a few kilobytes; anything this large is not one,
// and is refused before it is read into memory.
constexpr qint64 kMaxListFileSize = 64 * 1024 * 1024;

} // namespace

// --- Versions --------------------------------------------------------------------------

int CompareVersions(const TVersionNumber &a, const TVersionNumber &b)
{
    const auto order = a <=> b;
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

QString VersionText(const TVersionNumber &version)
{
    QString text = u"%1.%2.%3"_s.arg(version.Major).arg(version.Minor).arg(version.Release);
    if (version.Build < kCurrentConnectionListVersion.Build)
        text += u"."_s + QString::number(version.Build);
    return text;
}

void TVersionInfo::DefineProperties(std::vector<TccnDefinedProperty> &list)
{
    TccnDefinedProperty versionNumber;
    versionNumber.Name = u"VersionNumber"_s;
    versionNumber.Write = [this]() -> std::optional<TStreamValue> {
        if (OnBeforeWrite)
            OnBeforeWrite();
        return PropertyStream::List({PropertyStream::Integer(Value.Major), PropertyStream::Integer(Value.Minor),
                                     PropertyStream::Integer(Value.Release), PropertyStream::Integer(Value.Build)});
    };
    versionNumber.Read = [this](const TStreamValue &value) {
        const QString what = u"VersionNumber"_s;
        if (value.Tag != vaList || value.Items.size() != 4)
            throw EPropertyStream(u"Номер версии должен быть списком из четырех чисел"_s);
        qint64 n[4];
        for (int i = 0; i < 4; ++i)
            n[i] = PropertyStream::ToInteger(value.Items[i], what);
        for (int i = 0; i < 3; ++i)
            if (n[i] < 0 || n[i] > 255)
                throw EPropertyStream(u"Неверный номер версии: часть %1 вне диапазона 0..255"_s.arg(n[i]));
        if (n[3] < 0)
            throw EPropertyStream(u"Неверный номер версии: отрицательный номер сборки %1"_s.arg(n[3]));
        Value = {quint8(n[0]), quint8(n[1]), quint8(n[2]), qint32(n[3])};
        if (OnAfterRead)
            OnAfterRead();
    };
    list.push_back(std::move(versionNumber));
}

// --- Layout --------------------------------------------------------------------------------

void TccnDeviceTreeViewParams::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"Width"_s, Width);
}

void TccnConnectionGridParams::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"StatusColWidth"_s, StatusColWidth);
    list.AddInteger(u"DevTypeColWidth"_s, DevTypeColWidth);
    list.AddInteger(u"DevProtocolColWidth"_s, DevProtocolColWidth);
    list.AddInteger(u"ConModeColWidth"_s, ConModeColWidth);
    list.AddInteger(u"ConModeParamColWidth"_s, ConModeParamColWidth);
}

void TccnConnectionListFormParams::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"Width"_s, Width);
    list.AddInteger(u"Height"_s, Height);
}

void TccnConnectionListUIParams::GetProperties(TccnPropertyList &list)
{
    list.AddObject(u"DeviceTreeViewParams"_s, &DeviceTreeViewParams);
    list.AddObject(u"ConnectionGridParams"_s, &ConnectionGridParams);
    list.AddObject(u"ConnectionListFormParams"_s, &ConnectionListFormParams);
}

void TccnConnectionListUIParams::Assign(const TccnConnectionListUIParams &source)
{
    DeviceTreeViewParams.Width = source.DeviceTreeViewParams.Width;
    const TccnConnectionGridParams &grid = source.ConnectionGridParams;
    ConnectionGridParams.StatusColWidth = grid.StatusColWidth;
    ConnectionGridParams.DevTypeColWidth = grid.DevTypeColWidth;
    ConnectionGridParams.DevProtocolColWidth = grid.DevProtocolColWidth;
    ConnectionGridParams.ConModeColWidth = grid.ConModeColWidth;
    ConnectionGridParams.ConModeParamColWidth = grid.ConModeParamColWidth;
    ConnectionListFormParams.Width = source.ConnectionListFormParams.Width;
    ConnectionListFormParams.Height = source.ConnectionListFormParams.Height;
}

// --- Connection ------------------------------------------------------------------------------

TccnConnection::TccnConnection() = default;
TccnConnection::~TccnConnection() = default;

void TccnConnection::SetCustomDevice(std::unique_ptr<TccnCustomDevice> device)
{
    device_ = std::move(device);
}

void TccnConnection::SetCustomDeviceProtocol(std::unique_ptr<TccnCustomDeviceProtocol> protocol)
{
    protocol_ = std::move(protocol);
}

void TccnConnection::SetCustomConMode(std::unique_ptr<TccnCustomConMode> conMode)
{
    conMode_ = std::move(conMode);
}

void TccnConnection::Assign(const TccnConnection &source)
{
    ConID = source.ConID;
    // Clones first: the source may be this very connection.
    if (source.device_)
        device_ = source.device_->Clone();
    if (source.protocol_)
        protocol_ = source.protocol_->Clone();
    if (source.conMode_)
        conMode_ = source.conMode_->Clone();
}

std::unique_ptr<TccnConnection> TccnConnection::Clone() const
{
    auto copy = std::make_unique<TccnConnection>();
    copy->Assign(*this);
    return copy;
}

void TccnConnection::GetProperties(TccnPropertyList &list)
{
    list.AddInteger(u"ConID"_s, ConID);
}

namespace {

// "FCustom...Type": written for the reader's eyes, ignored when read.
TccnDefinedProperty TypeProperty(const QString &name, std::function<std::optional<QString>()> ident)
{
    TccnDefinedProperty p;
    p.Name = name;
    p.Write = [ident]() -> std::optional<TStreamValue> {
        if (std::optional<QString> text = ident())
            return PropertyStream::Ident(text->toLatin1());
        return std::nullopt;
    };
    p.Read = [name](const TStreamValue &value) { PropertyStream::ToIdent(value, name); };
    return p;
}

// "FCustom...Class": the class of the part; reading creates a part of that
// class with its defaults (none for an unknown class).
template <class Part>
TccnDefinedProperty ClassProperty(const QString &name, const Part *current,
                                  std::function<void(std::unique_ptr<Part>)> set,
                                  std::unique_ptr<Part> (*create)(QStringView))
{
    TccnDefinedProperty p;
    p.Name = name;
    p.Write = [current]() -> std::optional<TStreamValue> {
        if (!current)
            return std::nullopt;
        return PropertyStream::Ident(current->ClassName().toLatin1());
    };
    p.Read = [name, set, create](const TStreamValue &value) { set(create(PropertyStream::ToIdent(value, name))); };
    return p;
}

// "Custom...": the part's own component block as binary data.
TccnDefinedProperty BlockProperty(const QString &name, const QString &wrapperClass,
                                  std::function<TccnPersistent *()> part)
{
    TccnDefinedProperty p;
    p.Name = name;
    p.Write = [name, wrapperClass, part]() -> std::optional<TStreamValue> {
        TccnPersistent *object = part();
        if (!object)
            return std::nullopt;
        TccnStreamWrapper wrapper(wrapperClass, name, object);
        return PropertyStream::Binary(CcnStreaming::ObjectToBinary(wrapper));
    };
    p.Read = [name, wrapperClass, part](const TStreamValue &value) {
        const QByteArray block = PropertyStream::ToBinary(value, name);
        TccnPersistent *object = part();
        if (!object)
            throw EPropertyStream(u"Данные %1 без известного класса объекта"_s.arg(name));
        TccnStreamWrapper wrapper(wrapperClass, name, object);
        CcnStreaming::BinaryToObject(block, wrapper);
    };
    return p;
}

} // namespace

void TccnConnection::DefineProperties(std::vector<TccnDefinedProperty> &list)
{
    list.push_back(TypeProperty(u"FCustomDeviceType"_s, [this]() -> std::optional<QString> {
        if (!device_)
            return std::nullopt;
        return DeviceTypeIdents().value(device_->DeviceType());
    }));
    list.push_back(ClassProperty<TccnCustomDevice>(
        u"FCustomDeviceClass"_s, device_.get(), [this](std::unique_ptr<TccnCustomDevice> d) { device_ = std::move(d); },
        &CreateDevice));
    list.push_back(TypeProperty(u"FCustomDeviceProtocolType"_s, [this]() -> std::optional<QString> {
        if (!protocol_)
            return std::nullopt;
        return DeviceProtocolTypeIdents().value(protocol_->ProtocolType());
    }));
    list.push_back(ClassProperty<TccnCustomDeviceProtocol>(
        u"FCustomDeviceProtocolClass"_s, protocol_.get(),
        [this](std::unique_ptr<TccnCustomDeviceProtocol> p) { protocol_ = std::move(p); }, &CreateDeviceProtocol));
    list.push_back(TypeProperty(u"FCustomConModeType"_s, [this]() -> std::optional<QString> {
        if (!conMode_)
            return std::nullopt;
        return ConModeTypeIdents().value(conMode_->ConModeType());
    }));
    list.push_back(ClassProperty<TccnCustomConMode>(
        u"FCustomConModeClass"_s, conMode_.get(),
        [this](std::unique_ptr<TccnCustomConMode> m) { conMode_ = std::move(m); }, &CreateConMode));
    list.push_back(BlockProperty(u"CustomDevice"_s, u"TccnCustomDeviceWrapper"_s,
                                 [this]() -> TccnPersistent * { return device_.get(); }));
    list.push_back(BlockProperty(u"CustomDeviceProtocol"_s, u"TccnCustomDeviceProtocolWrapper"_s,
                                 [this]() -> TccnPersistent * { return protocol_.get(); }));
    list.push_back(BlockProperty(u"CustomConMode"_s, u"TccnCustomConModeWrapper"_s,
                                 [this]() -> TccnPersistent * { return conMode_.get(); }));
}

// --- List ---------------------------------------------------------------------------------------

TccnConnectionList::TccnConnectionList()
{
    version_.OnAfterRead = [this] { CheckLoadedVersion(); };
}

TccnConnectionList::~TccnConnectionList() = default;

TccnConnection *TccnConnectionList::Items(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return items_[size_t(index)].get();
}

bool TccnConnectionList::AddConnection(TccnConnection &connection)
{
    if (maxID_ == std::numeric_limits<qint32>::max())
        return false;
    ++maxID_;
    connection.ConID = maxID_;
    auto item = std::make_unique<TccnConnection>();
    item->Assign(connection);
    items_.push_back(std::move(item));
    return true;
}

bool TccnConnectionList::UpdateConnection(const TccnConnection &connection)
{
    TccnConnection *item = FindByConID(connection.ConID);
    if (!item)
        return false;
    item->Assign(connection);
    return true;
}

bool TccnConnectionList::DeleteConnection(qint32 conID)
{
    const int index = IndexOfConID(conID);
    if (index < 0)
        return false;
    items_.erase(items_.begin() + index);
    return true;
}

int TccnConnectionList::IndexOfConID(qint32 conID) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[size_t(i)]->ConID == conID)
            return i;
    return -1;
}

TccnConnection *TccnConnectionList::FindByConID(qint32 conID) const
{
    return Items(IndexOfConID(conID));
}

namespace {

int CountDevices(const std::vector<std::unique_ptr<TccnConnection>> &items, TDeviceType type, const qint32 *factoryNum)
{
    int count = 0;
    for (const auto &item : items) {
        const TccnCustomDevice *device = item->CustomDevice();
        if (device && device->DeviceType() == type && (!factoryNum || device->FactoryNum == *factoryNum))
            ++count;
    }
    return count;
}

} // namespace

bool TccnConnectionList::IsSingleOfType(TDeviceType type) const
{
    return CountDevices(items_, type, nullptr) == 1;
}

bool TccnConnectionList::IsSingleOfDevice(TDeviceType type, qint32 factoryNum) const
{
    return CountDevices(items_, type, &factoryNum) == 1;
}

bool TccnConnectionList::HasType(TDeviceType type) const
{
    return CountDevices(items_, type, nullptr) > 0;
}

bool TccnConnectionList::HasDevice(TDeviceType type, qint32 factoryNum) const
{
    return CountDevices(items_, type, &factoryNum) > 0;
}

void TccnConnectionList::SetAllSelected(bool selected)
{
    for (auto &item : items_)
        item->Selected = selected;
}

void TccnConnectionList::SortConnections()
{
    auto key = [](const TccnConnection &c) {
        const TccnCustomDevice *d = c.CustomDevice();
        const TccnCustomDeviceProtocol *p = c.CustomDeviceProtocol();
        const TccnCustomConMode *m = c.CustomConMode();
        return std::tuple(d ? int(d->DeviceType()) : -1, d ? qint64(d->FactoryNum) : std::numeric_limits<qint64>::min(),
                          p ? int(p->ProtocolType()) : -1, m ? int(m->ConModeType()) : -1, c.ConID);
    };
    std::stable_sort(items_.begin(), items_.end(), [&](const auto &a, const auto &b) { return key(*a) < key(*b); });
}

void TccnConnectionList::Clear()
{
    items_.clear();
}

void TccnConnectionList::Assign(const TccnConnectionList &source)
{
    const QByteArray copy = source.SaveToBytes(csfBinary);
    LoadFromBytes(copy, csfAny);
}

void TccnConnectionList::Swap(TccnConnectionList &other) noexcept
{
    items_.swap(other.items_);
    std::swap(maxID_, other.maxID_);
    std::swap(loadedVersion_, other.loadedVersion_);
    TccnConnectionListUIParams layout;
    layout.Assign(uiParams_);
    uiParams_.Assign(other.uiParams_);
    other.uiParams_.Assign(layout);
}

TccnPersistent *TccnConnectionList::AddCollectionItem()
{
    items_.push_back(std::make_unique<TccnConnection>());
    return items_.back().get();
}

void TccnConnectionList::GetProperties(TccnPropertyList &list)
{
    list.AddObject(u"Version"_s, &version_);
    list.AddObject(u"UIParams"_s, &uiParams_);
}

void TccnConnectionList::DefineProperties(std::vector<TccnDefinedProperty> &list)
{
    TccnDefinedProperty maxID;
    maxID.Name = u"FMaxID"_s;
    maxID.Write = [this]() -> std::optional<TStreamValue> { return PropertyStream::Integer(maxID_); };
    maxID.Read = [this](const TStreamValue &value) { maxID_ = qint32(PropertyStream::ToInteger(value, u"FMaxID"_s)); };
    list.push_back(std::move(maxID));
}

void TccnConnectionList::CheckLoadedVersion()
{
    loadedVersion_ = version_.Value;
    if (CompareVersions(kCurrentConnectionListVersion, loadedVersion_) < 0) {
        const TVersionNumber read = loadedVersion_;
        version_.Value = kCurrentConnectionListVersion;
        loadedVersion_ = kCurrentConnectionListVersion;
        throw EccnConnectionList(u"Текущая версия списка подключений (v"_s +
                                 VersionText(kCurrentConnectionListVersion) + u") меньше загружаемой версии (v"_s +
                                 VersionText(read) + u"). Загрузка невозможна"_s);
    }
    version_.Value = kCurrentConnectionListVersion;
}

void TccnConnectionList::MigrateOldList()
{
    if (CompareVersions(loadedVersion_, kFirstVersionWithDeviceAddress) >= 0)
        return;
    for (auto &item : items_) {
        auto *tarvel = dynamic_cast<TccnTarvelProtocol *>(item->CustomDeviceProtocol());
        const TccnCustomDevice *device = item->CustomDevice();
        if (!tarvel || !device)
            continue;
        if (device->FactoryNum < 0 || device->FactoryNum > 65535)
            throw EccnConnectionList(
                u"Заводской номер %1 не может служить адресом устройства (0..65535)"_s.arg(device->FactoryNum));
        tarvel->DeviceAddress = quint16(device->FactoryNum);
    }
}

// --- Persistence ------------------------------------------------------------------------------------

QByteArray TccnConnectionList::SaveToBytes(int format) const
{
    if (format != csfBinary && format != csfText)
        throw EccnConnectionList(u"Список подключений. Сохранение в поток в неизвестном формате не поддерживается"_s);
    // Writing only reads the list; the wrapper wants a mutable root.
    TccnStreamWrapper root(u"TccnConnectionListWrapper"_s, u"ConnectionList"_s, const_cast<TccnConnectionList *>(this));
    const QByteArray binary = CcnStreaming::ObjectToBinary(root);
    if (format == csfBinary)
        return binary;
    try {
        return PropertyStream::BinaryToText(binary);
    } catch (const Exception &e) {
        throw EccnConnectionList(u"Список подключений. Ошибка сохранения в текстовом виде: "_s + e.Message());
    }
}

void TccnConnectionList::LoadBinary(QByteArrayView data)
{
    Clear();
    TccnStreamWrapper root(u"TccnConnectionListWrapper"_s, u"ConnectionList"_s, this);
    CcnStreaming::BinaryToObject(data, root);
    MigrateOldList();
    // A hand-edited or damaged list may carry an FMaxID below its own
    // identifiers; the next AddConnection would then issue one twice.
    for (const auto &item : items_)
        maxID_ = std::max(maxID_, item->ConID);
}

void TccnConnectionList::LoadBinaryWithPrefix(QByteArrayView data)
{
    try {
        LoadBinary(data);
    } catch (const Exception &e) {
        throw EccnConnectionList(kLoadErrorPrefix + e.Message());
    }
}

void TccnConnectionList::LoadTextWithPrefix(QByteArrayView data)
{
    QByteArray binary;
    try {
        binary = PropertyStream::TextToBinary(data);
    } catch (const Exception &e) {
        throw EccnConnectionList(kLoadErrorPrefix + e.Message());
    }
    LoadBinaryWithPrefix(binary);
}

void TccnConnectionList::LoadFromBytes(QByteArrayView data, int format)
{
    // What the data leaves out keeps this list's value, as if read in place.
    TccnConnectionList loaded;
    loaded.maxID_ = maxID_;
    loaded.uiParams_.Assign(uiParams_);
    loaded.LoadInPlace(data, format);
    Swap(loaded);
}

void TccnConnectionList::LoadInPlace(QByteArrayView data, int format)
{
    switch (format) {
    case csfBinary: LoadBinaryWithPrefix(data); return;
    case csfText: LoadTextWithPrefix(data); return;
    case csfAny: {
        QString binaryError;
        try {
            LoadBinary(data);
            return;
        } catch (const Exception &e) {
            binaryError = e.Message();
        }
        QString textError;
        try {
            LoadBinary(PropertyStream::TextToBinary(data));
            return;
        } catch (const Exception &e) {
            textError = e.Message();
        }
        throw EccnConnectionList(u"Список подключений. Ошибка загрузки данных. Неверный формат.\r\n\r\n"
                                 u"Ошибка чтения в бинарном виде: "_s +
                                 binaryError + u"\r\n\r\nОшибка чтения в текстовом виде: "_s + textError);
    }
    default:
        throw EccnConnectionList(u"Список подключений. Загрузка из потока в неизвестном формате не поддерживается"_s);
    }
}

void TccnConnectionList::SaveToStream(QIODevice &stream, int format) const
{
    const QByteArray data = SaveToBytes(format);
    if (stream.write(data) != data.size())
        throw EccnConnectionList(u"Список подключений. Ошибка записи в поток: "_s + OsErrorText(stream.errorString()));
}

void TccnConnectionList::LoadFromStream(QIODevice &stream, int format)
{
    const QByteArray data = stream.readAll();
    LoadFromBytes(data, format);
}

bool TccnConnectionList::TryLoadFromStream(QIODevice &stream, int format) noexcept
{
    try {
        LoadFromStream(stream, format);
        return true;
    } catch (...) {
        Clear();
        return false;
    }
}

bool TccnConnectionList::TryLoadFromBytes(QByteArrayView data, int format) noexcept
{
    try {
        LoadFromBytes(data, format);
        return true;
    } catch (...) {
        Clear();
        return false;
    }
}

void TccnConnectionList::SaveToFile(const QString &fileName, int format) const
{
    // Refused before the file is touched, so the old file survives.
    if (format != csfBinary && format != csfText)
        throw EccnConnectionList(u"Сохранение в файл в неизвестном формате не поддерживается"_s);
    const QByteArray data = SaveToBytes(format);
    QSaveFile file(fileName);
    // unbuffered: a write error surfaces at write(), before commit() could
    // rename a cut file into place
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw EccnConnectionList(u"Не удалось создать файл %1: %2"_s.arg(fileName, OsErrorText(file.errorString())));
    if (file.write(data) != data.size() || !file.commit())
        throw EccnConnectionList(u"Не удалось записать файл %1: %2"_s.arg(fileName, OsErrorText(file.errorString())));
}

void TccnConnectionList::LoadFromFile(const QString &fileName, int format)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EccnConnectionList(u"Не удалось открыть файл %1: %2"_s.arg(fileName, OsErrorText(file.errorString())));
    if (file.size() > kMaxListFileSize)
        throw EccnConnectionList(u"Файл %1 слишком велик для списка подключений"_s.arg(fileName));
    LoadFromStream(file, format);
}
