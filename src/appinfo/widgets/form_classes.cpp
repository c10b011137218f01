#include "appinfo/widgets/form_classes.h"

#include <map>

namespace kestrova {
namespace {

// GUI thread only, like every form.
std::map<std::string, FormFactory>& Classes() {
  static std::map<std::string, FormFactory> classes;
  return classes;
}

}  // namespace

void RegisterFormClass(const std::string& name, FormFactory factory) {
  Classes()[name] = std::move(factory);
}

void UnregisterFormClass(const std::string& name) { Classes().erase(name); }

QWidget* CreateRegisteredForm(const std::string& name) {
  auto it = Classes().find(name);
  return it == Classes().end() ? nullptr : it->second();
}

}  // namespace kestrova
