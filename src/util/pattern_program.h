// The parsed form of a pattern of the matcher: nodes, the sequences of groups, and byte sets.
// Parsing is iterative, so deep nesting costs heap, not stack.
#pragma once

#include <bitset>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrova::pattern {

enum class NodeKind : uint8_t { kByte, kAny, kSet, kCapture, kGroup, kStar, kPlus, kOr };

struct Node {
  NodeKind kind;
  uint8_t byte = 0;  // kByte
  // kSet: set index; kCapture: slot; kGroup: sequence index; kStar, kPlus, kOr: operand node.
  uint32_t a = 0;
  uint32_t b = 0;  // kOr: second operand node
  // May be evaluated more than once in one match (behind a "*", inside an operand of "*" or
  // "+"); only such "*" and "+" nodes remember their results.
  bool repeated = false;
};

struct Program {
  std::vector<Node> nodes;
  std::vector<std::vector<uint32_t>> sequences;  // element nodes; 0 is the whole pattern
  std::vector<std::bitset<256>> sets;
  bool has_captures = false;
};

// False when the pattern is malformed.
bool Parse(std::string_view pattern, Program& program);

}  // namespace kestrova::pattern
