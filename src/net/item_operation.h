// What happened to an item of a network component's list (a connection or a peer), as its
// OnClientChange event reports it.
#pragma once

namespace kestrova {

enum VMurItemOperation {
  vsioNone = 0,
  vsioAdd = 1,
  vsioUpdate = 2,
  vsioRemove = 3,
};

}  // namespace kestrova
