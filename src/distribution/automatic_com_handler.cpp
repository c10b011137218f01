#include "distribution/automatic_com_handler.h"

#include <utility>

namespace kestrova {
namespace {

AutomaticComHandlerFactory& Factory() {
  static AutomaticComHandlerFactory factory;
  return factory;
}

}  // namespace

void SetAutomaticComHandlerFactory(AutomaticComHandlerFactory factory) {
  Factory() = std::move(factory);
}

VMurCommunicationComponent* CreateAutomaticComHandler(Component* owner) {
  return Factory() ? Factory()(owner) : nullptr;
}

}  // namespace kestrova
