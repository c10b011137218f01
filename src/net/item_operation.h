// What happened to one item of a network component's list of peers, as OnClientChange says it.
#pragma once

namespace kestrova {

enum VMurItemOperation { vsioNone, vsioAdd, vsioUpdate, vsioRemove };

}  // namespace kestrova
