// Registration of the engine's design-time components. There is no component palette here, so
// registering records (palette page, class name) pairs that a host program can list.
#pragma once

#include <string>
#include <vector>

struct TZyComponentRegistration {
  std::string page;
  std::string className;
};

// Registers TZyDatabase, then TZyDatabaseDAQuery, on the page "Data Access". Registering the
// same class on the same page again changes nothing.
void Register();

// Forgets every registration (the library's unload step).
void Finalization();

// Adds one class on one page, keeping the order of registration.
void zydRegisterComponent(const std::string& page, const std::string& className);

// Everything registered so far, in order.
const std::vector<TZyComponentRegistration>& zydRegisteredComponents();
