#include "catalogue/PersistentObjects.h"

#include "catalogue/CatalogueTypes.h"
#include "common/Contracts.h"

using namespace Qt::StringLiterals;

void TccnPropertyList::AddText(const QString &name, QString &field)
{
    TccnProperty p;
    p.Name = name;
    p.Kind = TccnPropertyKind::Text;
    p.GetText = [&field] { return field; };
    p.SetText = [&field](const QString &v) { field = v; };
    Items.push_back(std::move(p));
}

void TccnPropertyList::AddObject(const QString &name, TccnPersistent *object)
{
    TccnProperty p;
    p.Name = name;
    p.Kind = TccnPropertyKind::Object;
    p.Object = object;
    Items.push_back(std::move(p));
}

const TccnProperty *TccnPropertyList::Find(QStringView name) const
{
    for (const TccnProperty &p : Items)
        if (QStringView(p.Name).compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

TccnPersistent::~TccnPersistent() = default;

void TccnPersistent::GetProperties(TccnPropertyList &) {}

void TccnPersistent::DefineProperties(std::vector<TccnDefinedProperty> &) {}

// --- Registry --------------------------------------------------------------------

void TccnClassRegistry::Register(const QString &className, TccnClassFamily family, TccnFactory factory)
{
    CheckPreConditions(factory != nullptr && Find(className, family) == nullptr, u"TccnClassRegistry.Register");
    entries_.push_back({className, family, std::move(factory)});
}

const TccnClassRegistry::Entry *TccnClassRegistry::Find(QStringView className, TccnClassFamily family) const
{
    for (const Entry &entry : entries_)
        if (entry.Family == family && QStringView(entry.ClassName).compare(className, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

std::unique_ptr<TccnPersistent> TccnClassRegistry::Create(QStringView className, TccnClassFamily family) const
{
    const Entry *entry = Find(className, family);
    return entry ? entry->Factory() : nullptr;
}

bool TccnClassRegistry::IsKnown(QStringView className, TccnClassFamily family) const
{
    return Find(className, family) != nullptr;
}

// --- Wrapper -----------------------------------------------------------------------

TccnStreamWrapper::TccnStreamWrapper(QString className, QString propertyName, TccnPersistent *object)
    : className_(std::move(className)), propertyName_(std::move(propertyName)), object_(object)
{}

void TccnStreamWrapper::GetProperties(TccnPropertyList &list)
{
    list.AddObject(propertyName_, object_);
}

// --- Streaming -----------------------------------------------------------------------

namespace CcnStreaming {

namespace {

void WriteProperties(TccnPersistent &object, const QByteArray &prefix, std::vector<TStreamProperty> &out);

TStreamValue CollectionValue(TccnPersistent &collection)
{
    TStreamValue value;
    value.Tag = vaCollection;
    for (int i = 0; i < collection.CollectionCount(); ++i) {
        TccnPersistent *item = collection.CollectionItem(i);
        if (!item)
            continue;
        TStreamCollectionItem streamItem;
        WriteProperties(*item, QByteArray(), streamItem.Properties);
        value.Collection.push_back(std::move(streamItem));
    }
    return value;
}

void WriteProperties(TccnPersistent &object, const QByteArray &prefix, std::vector<TStreamProperty> &out)
{
    TccnPropertyList properties;
    object.GetProperties(properties);
    for (const TccnProperty &p : properties.Items) {
        const QByteArray name = prefix + p.Name.toLatin1();
        switch (p.Kind) {
        case TccnPropertyKind::Integer: out.push_back({name, PropertyStream::Integer(p.GetInteger())}); break;
        case TccnPropertyKind::Enumeration: {
            const qint64 code = p.GetInteger();
            // A code outside the table has no identifier; its number is the
            // only faithful thing to write, and the reader refuses it.
            if (code >= 0 && code < p.Identifiers->size())
                out.push_back({name, PropertyStream::Ident(p.Identifiers->at(code).toLatin1())});
            else
                out.push_back({name, PropertyStream::Integer(code)});
            break;
        }
        case TccnPropertyKind::Text: {
            const QString text = p.GetText();
            if (!text.isEmpty())
                out.push_back({name, PropertyStream::Text(text)});
            break;
        }
        case TccnPropertyKind::Object:
            if (p.Object) {
                WriteProperties(*p.Object, name + '.', out);
                if (p.Object->IsCollection())
                    out.push_back({name, CollectionValue(*p.Object)});
            }
            break;
        }
    }
    std::vector<TccnDefinedProperty> defined;
    object.DefineProperties(defined);
    for (const TccnDefinedProperty &d : defined)
        if (std::optional<TStreamValue> value = d.Write())
            out.push_back({prefix + d.Name.toLatin1(), std::move(*value)});
}

[[noreturn]] void NoSuchProperty(const QString &path)
{
    throw EPropertyStream(u"Свойство %1 не существует"_s.arg(path));
}

void ReadPublished(const TccnProperty &p, const TStreamValue &value, const QString &path)
{
    switch (p.Kind) {
    case TccnPropertyKind::Integer: {
        const qint64 v = PropertyStream::ToInteger(value, path);
        if (v < p.Min || v > p.Max)
            throw EPropertyStream(u"Значение %1 свойства %2 вне допустимого диапазона"_s.arg(v).arg(path));
        p.SetInteger(v);
        break;
    }
    case TccnPropertyKind::Enumeration: {
        const QString ident = PropertyStream::ToIdent(value, path);
        const int code = IndexOfIdent(*p.Identifiers, ident);
        if (code < 0)
            throw EPropertyStream(u"Неизвестное значение %1 свойства %2"_s.arg(ident, path));
        p.SetInteger(code);
        break;
    }
    case TccnPropertyKind::Text: p.SetText(PropertyStream::ToText(value, path)); break;
    case TccnPropertyKind::Object: NoSuchProperty(path); // handled by the caller for collections
    }
}

void ReadProperty(TccnPersistent &root, const TStreamProperty &property);

void ReadCollection(TccnPersistent &collection, const TStreamValue &value)
{
    collection.ClearCollection();
    for (const TStreamCollectionItem &streamItem : value.Collection) {
        TccnPersistent *item = collection.AddCollectionItem();
        if (!item)
            throw EPropertyStream(u"Не удалось создать элемент коллекции"_s);
        for (const TStreamProperty &property : streamItem.Properties)
            ReadProperty(*item, property);
    }
}

// Walks the dotted path through the nested objects, then gives the value to
// the published or defined property named by its last part.
void ReadProperty(TccnPersistent &root, const TStreamProperty &property)
{
    const QString path = QString::fromLatin1(property.Name);
    const QStringList parts = path.split(u'.');
    TccnPersistent *object = &root;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        TccnPropertyList properties;
        object->GetProperties(properties);
        const TccnProperty *p = properties.Find(parts[i]);
        if (!p || p->Kind != TccnPropertyKind::Object || !p->Object)
            NoSuchProperty(path);
        object = p->Object;
    }
    const QString &last = parts.back();
    TccnPropertyList properties;
    object->GetProperties(properties);
    if (const TccnProperty *p = properties.Find(last)) {
        if (p->Kind != TccnPropertyKind::Object) {
            ReadPublished(*p, property.Value, path);
            return;
        }
        if (p->Object && p->Object->IsCollection() && property.Value.Tag == vaCollection) {
            ReadCollection(*p->Object, property.Value);
            return;
        }
        throw EPropertyStream(u"Неверный тип значения свойства %1"_s.arg(path));
    }
    std::vector<TccnDefinedProperty> defined;
    object->DefineProperties(defined);
    for (const TccnDefinedProperty &d : defined) {
        if (QStringView(d.Name).compare(last, Qt::CaseInsensitive) == 0) {
            d.Read(property.Value);
            return;
        }
    }
    NoSuchProperty(path);
}

} // namespace

TStreamComponent ObjectToComponent(TccnPersistent &root)
{
    TStreamComponent component;
    component.ClassName = root.ClassName().toLatin1();
    WriteProperties(root, QByteArray(), component.Properties);
    return component;
}

QByteArray ObjectToBinary(TccnPersistent &root)
{
    return PropertyStream::WriteComponent(ObjectToComponent(root));
}

void ComponentToObject(const TStreamComponent &component, TccnPersistent &root)
{
    if (QString::fromLatin1(component.ClassName).compare(root.ClassName(), Qt::CaseInsensitive) != 0)
        throw EPropertyStream(u"Неверный класс блока данных %1, ожидался %2"_s.arg(
            QString::fromLatin1(component.ClassName), root.ClassName()));
    if (!component.Children.empty())
        throw EPropertyStream(u"Блок данных %1 не может содержать вложенных объектов"_s.arg(root.ClassName()));
    for (const TStreamProperty &property : component.Properties)
        ReadProperty(root, property);
}

void BinaryToObject(QByteArrayView block, TccnPersistent &root)
{
    ComponentToObject(PropertyStream::ReadComponent(block), root);
}

} // namespace CcnStreaming
