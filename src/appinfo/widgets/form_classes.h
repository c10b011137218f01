// Form classes registered by name, so that a form can be made from a name stored in a
// setting (the settings component's splash form).
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace kestrova {

using FormFactory = std::function<QWidget*()>;

// A later registration under the same name replaces the earlier one.
void RegisterFormClass(const std::string& name, FormFactory factory);
void UnregisterFormClass(const std::string& name);
// A new form of that class, owned by the caller; nullptr when no class has that name.
QWidget* CreateRegisteredForm(const std::string& name);

}  // namespace kestrova
