// The list of components, across running copies of the program, that want one serial port:
// kept in a small shared block (word 0 the count, then the endpoints; entry 1 owns the port).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_endpoint.h"
#include "platform/shared_memory_block.h"

namespace kestrova {

inline constexpr size_t kGrabBlockBytes = 128;
inline constexpr size_t kMaxGrabEntries = 20;

// The name of the shared block of a port, as every copy derives it from the port name.
std::string GrabBlockName(std::string_view comm_port);

// The entries as stored; a count above kMaxGrabEntries reads as that many.
std::vector<EndpointId> ReadGrabEntries(const SharedMemoryBlock& block);
// Writes the entries, then the count; at most kMaxGrabEntries are kept.
void WriteGrabEntries(SharedMemoryBlock& block, const std::vector<EndpointId>& entries);

// Removes every entry of `own` and puts it first; returns the entry that was first before
// (0 when the list was empty).
EndpointId PutGrabEntryFirst(std::vector<EndpointId>& entries, EndpointId own);
// Removes every entry of `own`, appending it once at the end when `queue` is set (and there
// is room); returns whether it was first before.
bool WithdrawGrabEntry(std::vector<EndpointId>& entries, EndpointId own, bool queue);

}  // namespace kestrova
