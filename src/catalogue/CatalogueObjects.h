#pragma once

// The catalogue objects of one saved connection (device, protocol,
// connection mode) and their creation by persisted class name or by code.

#include "catalogue/CatalogueDevices.h"
#include "catalogue/CatalogueProtocols.h"
#include "catalogue/ConnectionModes.h"

// --- Creation by class name and by code ------------------------------------------------

// Every catalogue class of the five families.
const TccnClassRegistry &CatalogueClasses();

// nullptr for a class name that is unknown or of another family.
std::unique_ptr<TccnCustomDevice> CreateDevice(QStringView className);
std::unique_ptr<TccnCustomDeviceProtocol> CreateDeviceProtocol(QStringView className);
std::unique_ptr<TccnCustomConMode> CreateConMode(QStringView className);

// The class of the code's row; nullptr for a code outside the table.
std::unique_ptr<TccnCustomDevice> CreateDeviceByType(int type);
std::unique_ptr<TccnCustomDeviceProtocol> CreateDeviceProtocolByType(int type);
std::unique_ptr<TccnCustomConMode> CreateConModeByType(int type);
