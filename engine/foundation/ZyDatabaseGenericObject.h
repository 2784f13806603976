// The base of every named engine object: tables, columns, fields, parameters and the pieces of a
// parsed statement. The name is given once, at construction, and never changes, which is what
// lets the named lists index their items by it.
#pragma once

#include <string>

class TZyDatabaseGenericObject {
 public:
  explicit TZyDatabaseGenericObject(std::string name);
  virtual ~TZyDatabaseGenericObject();
  TZyDatabaseGenericObject(const TZyDatabaseGenericObject&) = delete;
  TZyDatabaseGenericObject& operator=(const TZyDatabaseGenericObject&) = delete;

  const std::string& NameGet() const { return name_; }

 private:
  const std::string name_;
};
