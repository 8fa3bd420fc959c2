#pragma once

// What the catalogue's object classes share in their implementation: the
// typed creation by class name, the clone rule and the parameter lines.

#include "catalogue/PersistentObjects.h"
#include "common/Contracts.h"

#include <QString>
#include <memory>

const TccnClassRegistry &CatalogueClasses();

namespace catalogue_detail {

template <class Base>
std::unique_ptr<Base> CreateTyped(QStringView className, TccnClassFamily family)
{
    std::unique_ptr<TccnPersistent> object = CatalogueClasses().Create(className, family);
    auto *typed = dynamic_cast<Base *>(object.get());
    if (!typed)
        return nullptr;
    object.release();
    return std::unique_ptr<Base>(typed);
}

// A clone is a new object of the same class followed by Assign.
template <class Base>
std::unique_ptr<Base> CloneOf(const Base &source, TccnClassFamily family, QAnyStringView context)
{
    std::unique_ptr<Base> copy = CreateTyped<Base>(source.ClassName(), family);
    CheckPostConditions(copy != nullptr, context);
    copy->Assign(source);
    return copy;
}

inline QString Line(const QString &label, const QString &value)
{
    return label + u'=' + value;
}

} // namespace catalogue_detail
