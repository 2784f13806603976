#include "platform/framework/Exception.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

namespace zyfw {

std::string ExceptionClassName(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->ClassName();
  // Foreign exceptions only have their mangled type name; spell it as the source does.
  const char* mangled = typeid(e).name();
  int status = 0;
  char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string result = (status == 0 && plain != nullptr) ? plain : mangled;
  std::free(plain);
  return result;
}

}  // namespace zyfw
