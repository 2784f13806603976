#include "engine/package/ZyDatabaseRegister.h"

namespace {

std::vector<TZyComponentRegistration>& Registry() {
  static std::vector<TZyComponentRegistration> registry;
  return registry;
}

}  // namespace

void zydRegisterComponent(const std::string& page, const std::string& className) {
  for (const TZyComponentRegistration& r : Registry())
    if (r.page == page && r.className == className) return;
  Registry().push_back(TZyComponentRegistration{page, className});
}

void Register() {
  zydRegisterComponent("Data Access", "TZyDatabase");
  zydRegisterComponent("Data Access", "TZyDatabaseDAQuery");
}

void Finalization() {
  Registry().clear();
  Registry().shrink_to_fit();
}

const std::vector<TZyComponentRegistration>& zydRegisteredComponents() { return Registry(); }
