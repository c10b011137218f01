#include "serial/grab_list.h"

#include <algorithm>

namespace kestrova {

std::string GrabBlockName(std::string_view comm_port) {
  return "Experimental " + std::string(comm_port) + " grabber / MEM";
}

std::vector<EndpointId> ReadGrabEntries(const SharedMemoryBlock& block) {
  const size_t count = std::min<size_t>(
      {block.Word(0), kMaxGrabEntries, block.word_count() > 0 ? block.word_count() - 1 : 0});
  std::vector<EndpointId> entries;
  entries.reserve(count);
  for (size_t i = 1; i <= count; ++i) entries.push_back(block.Word(i));
  return entries;
}

void WriteGrabEntries(SharedMemoryBlock& block, const std::vector<EndpointId>& entries) {
  const size_t count = std::min(
      {entries.size(), kMaxGrabEntries, block.word_count() > 0 ? block.word_count() - 1 : 0});
  for (size_t i = 0; i < count; ++i) block.SetWord(i + 1, entries[i]);
  block.SetWord(0, static_cast<uint32_t>(count));
}

EndpointId PutGrabEntryFirst(std::vector<EndpointId>& entries, EndpointId own) {
  const EndpointId previous = entries.empty() ? 0 : entries.front();
  std::erase(entries, own);
  entries.insert(entries.begin(), own);
  return previous;
}

bool WithdrawGrabEntry(std::vector<EndpointId>& entries, EndpointId own, bool queue) {
  const bool was_first = !entries.empty() && entries.front() == own;
  std::erase(entries, own);
  if (queue && entries.size() < kMaxGrabEntries) entries.push_back(own);
  return was_first;
}

}  // namespace kestrova
