#include "engine/foundation/ZyException.h"

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyMisc.h"
#include "platform/framework/SysMessage.h"

EZyException::EZyException(uint32_t code, const std::string& module, const std::string& method,
                           const std::string& text, const std::string& details,
                           const std::exception* inner) noexcept
    : zyfw::Exception(std::string()) {
  // An exception that fails while being built would replace the error being reported; if memory
  // runs out, keep whatever was filled in.
  try {
    Fill(code, module, method, text, details, inner);
  } catch (...) {
  }
}

EZyException::EZyException(uint32_t code, const std::string& method) noexcept
    : zyfw::Exception(std::string()) {
  try {
    Fill(code, zydModSystem, method, zyfw::SysErrorMessage(code), std::string(), nullptr);
  } catch (...) {
  }
}

void EZyException::Fill(uint32_t code, const std::string& module, const std::string& method,
                        const std::string& text, const std::string& details,
                        const std::exception* inner) {
  count_ = 0;
  Append(Entry{code, module, method, text, details});
  std::string message = zydFormat(
      "Error Code: $%.8X\r\nError Module: %s\r\nError Method: %s\r\nError Text: %s",
      static_cast<unsigned>(code), module.c_str(), method.c_str(), text.c_str());
  if (!details.empty()) message += zydFormat("\r\nError Details: %s", details.c_str());
  MessageSet(std::move(message));

  if (inner == nullptr) return;
  const auto* chained = dynamic_cast<const EZyException*>(inner);
  if (chained != nullptr && zyfw::ExceptionClassName(*inner) == "EZyException") {
    for (uint32_t i = 0; i < chained->count_ && count_ < Capacity; ++i)
      Append(chained->entries_[i]);
  } else {
    Append(Entry{0, ForeignModule, zyfw::ExceptionClassName(*inner), inner->what(), std::string()});
  }
}

void EZyException::Append(Entry entry) {
  if (count_ >= Capacity) return;
  entries_[count_++] = std::move(entry);
}

uint32_t EZyException::CodeGet(uint32_t index) const {
  return index < Capacity ? entries_[index].code : 0;
}
std::string EZyException::ModuleGet(uint32_t index) const {
  return index < Capacity ? entries_[index].module : std::string();
}
std::string EZyException::MethodGet(uint32_t index) const {
  return index < Capacity ? entries_[index].method : std::string();
}
std::string EZyException::TextGet(uint32_t index) const {
  return index < Capacity ? entries_[index].text : std::string();
}
std::string EZyException::DetailsGet(uint32_t index) const {
  return index < Capacity ? entries_[index].details : std::string();
}
