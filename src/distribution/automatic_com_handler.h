// What a top distributor creates as its ComHandler when it is set to create one itself. The
// transports sit above this library, so the program installs the maker at start-up.
#pragma once

#include <functional>

#include "distribution/communication_component.h"

namespace kestrova {

// Returns a new transport owned by `owner`.
using AutomaticComHandlerFactory = std::function<VMurCommunicationComponent*(Component* owner)>;

// An empty factory means none is created.
void SetAutomaticComHandlerFactory(AutomaticComHandlerFactory factory);
VMurCommunicationComponent* CreateAutomaticComHandler(Component* owner);

}  // namespace kestrova
