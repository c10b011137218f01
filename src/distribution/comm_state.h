// The state every transport reports for a channel. The order is fixed: consumers compare
// ordinals (a port box is coloured by 0, 1, 2).
#pragma once

namespace kestrova {

enum TCommState {
  CommStateFailed = 0,
  CommStateDisconnected = 1,
  CommStateConnected = 2,
  CommStateFirst = 3,  // in a transport's own posted report: "whatever the state is now"
};

}  // namespace kestrova
