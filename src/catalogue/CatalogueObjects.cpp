#include "catalogue/CatalogueObjects.h"

#include "catalogue/CatalogueObjectSupport.h"

using namespace Qt::StringLiterals;
using catalogue_detail::CreateTyped;

// --- Registry ------------------------------------------------------------------------------

namespace {

template <class T>
void Add(TccnClassRegistry &registry, TccnClassFamily family)
{
    registry.Register(T().ClassName(), family, [] { return std::make_unique<T>(); });
}

TccnClassRegistry BuildRegistry()
{
    using F = TccnClassFamily;
    TccnClassRegistry r;
    Add<TccnKLDev>(r, F::Device);
    Add<TccnKL2Dev>(r, F::Device);
    Add<TccnKL2MDev>(r, F::Device);
    Add<TccnKL2CDev>(r, F::Device);
    Add<TccnKL2ADev>(r, F::Device);
    Add<TccnKL2AMDev>(r, F::Device);
    Add<TccnKL2ACDev>(r, F::Device);
    Add<TccnQP1xDev>(r, F::Device);
    Add<TccnQP2xDev>(r, F::Device);
    Add<TccnQP17Dev>(r, F::Device);
    Add<TccnR5Dev>(r, F::Device);
    Add<TccnR5ASDev>(r, F::Device);
    Add<TccnR5AS2020Dev>(r, F::Device);
    Add<TccnM7Dev>(r, F::Device);
    Add<TccnM7L12020Dev>(r, F::Device);
    Add<TccnM7L22020Dev>(r, F::Device);
    Add<TccnPXDev>(r, F::Device);
    Add<TccnG3Dev>(r, F::Device);
    Add<TccnTWDev>(r, F::Device);
    Add<TccnM7SQDev>(r, F::Device);
    Add<TccnConverterJXDev>(r, F::Device);

    Add<TccnTarvelProtocol>(r, F::Protocol);
    Add<TccnIEC101Protocol>(r, F::Protocol);
    Add<TccnIEC104Protocol>(r, F::Protocol);
    Add<TccnModbusRTUProtocol>(r, F::Protocol);
    Add<TccnModbusTCPProtocol>(r, F::Protocol);

    Add<TccnComPortInterface>(r, F::CommInterface);
    Add<TccnTCPIPInterface>(r, F::CommInterface);

    Add<TccnPhoneModem>(r, F::CommHardware);
    Add<TccnRadioModem>(r, F::CommHardware);
    Add<TccnVDOptoAttach>(r, F::CommHardware);

    Add<TccnDirect232ConMode>(r, F::ConMode);
    Add<TccnPhoneModem232ConMode>(r, F::ConMode);
    Add<TccnRadioModem232ConMode>(r, F::ConMode);
    Add<TccnDirectTCPIPConMode>(r, F::ConMode);
    Add<TccnVDOptoAttach232ConMode>(r, F::ConMode);
    return r;
}

} // namespace

const TccnClassRegistry &CatalogueClasses()
{
    static const TccnClassRegistry registry = BuildRegistry();
    return registry;
}

std::unique_ptr<TccnCustomDevice> CreateDevice(QStringView className)
{
    return CreateTyped<TccnCustomDevice>(className, TccnClassFamily::Device);
}

std::unique_ptr<TccnCustomDeviceProtocol> CreateDeviceProtocol(QStringView className)
{
    return CreateTyped<TccnCustomDeviceProtocol>(className, TccnClassFamily::Protocol);
}

std::unique_ptr<TccnCustomConMode> CreateConMode(QStringView className)
{
    return CreateTyped<TccnCustomConMode>(className, TccnClassFamily::ConMode);
}

std::unique_ptr<TccnCustomDevice> CreateDeviceByType(int type)
{
    if (type < 0 || type >= kDeviceTypeCount)
        return nullptr;
    return CreateDevice(DeviceTypeClassNames().at(type));
}

std::unique_ptr<TccnCustomDeviceProtocol> CreateDeviceProtocolByType(int type)
{
    if (type < 0 || type >= kDeviceProtocolTypeCount)
        return nullptr;
    return CreateDeviceProtocol(DeviceProtocolTypeClassNames().at(type));
}

std::unique_ptr<TccnCustomConMode> CreateConModeByType(int type)
{
    if (type < 0 || type >= kConModeTypeCount)
        return nullptr;
    return CreateConMode(ConModeTypeClassNames().at(type));
}
