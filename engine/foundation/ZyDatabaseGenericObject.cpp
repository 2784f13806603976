#include "engine/foundation/ZyDatabaseGenericObject.h"

#include <utility>

TZyDatabaseGenericObject::TZyDatabaseGenericObject(std::string name) : name_(std::move(name)) {}

TZyDatabaseGenericObject::~TZyDatabaseGenericObject() = default;
