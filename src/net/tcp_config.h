// The TCP component's one-line configuration ("host:port [address:]port") and what the address
// dialog does with its two fields when closed with OK.
#pragma once

#include <string>

namespace kestrova {

class VMurTcp;

std::string TcpConfigString(VMurTcp& tcp);
// Applies a configuration line through the component's setters, in their order.
void ApplyTcpConfigString(VMurTcp& tcp, const std::string& config);
// The OK of the address dialog: the port field when it is a number, then the host field
// through the host setter (which also takes "host:port").
void ApplyAddressDialog(VMurTcp& tcp, const std::string& host_text, const std::string& port_text);

}  // namespace kestrova
