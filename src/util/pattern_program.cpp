#include "util/pattern_program.h"

#include "util/pattern_match.h"

namespace kestrova::pattern {
namespace {

struct OpenGroup {
  uint32_t sequence;
  size_t operator_base;  // operators pending outside this group
};

struct PendingOperator {
  NodeKind kind;
  bool has_first = false;  // kOr: first operand read
  uint32_t first = 0;
};

class Parser {
 public:
  Parser(std::string_view pattern, Program& program) : pattern_(pattern), program_(program) {}

  bool Run() {
    program_ = Program{};
    program_.sequences.emplace_back();
    groups_.push_back({0, 0});
    while (i_ < pattern_.size()) {
      if (!Step()) return false;
    }
    while (groups_.size() > 1) {
      if (!CloseGroup()) return false;
    }
    if (!operators_.empty()) return false;
    MarkRepeated();
    return true;
  }

 private:
  bool Step() {
    const char c = pattern_[i_];
    switch (c) {
      case '*':
        return PushOperator(NodeKind::kStar);
      case '+':
        return PushOperator(NodeKind::kPlus);
      case '|':
        return PushOperator(NodeKind::kOr);
      case '\\':
        if (i_ + 1 >= pattern_.size()) return false;
        i_ += 2;
        return Complete(AddNode({NodeKind::kByte, static_cast<uint8_t>(pattern_[i_ - 1])}));
      case '?':
        ++i_;
        return Complete(AddNode({NodeKind::kAny}));
      case '[':
        return ReadSet();
      case '{':
        ++i_;
        program_.sequences.emplace_back();
        groups_.push_back(
            {static_cast<uint32_t>(program_.sequences.size() - 1), operators_.size()});
        return true;
      case '}':
        ++i_;
        return groups_.size() > 1 && CloseGroup();
      case '.':
        return ReadCapture();
      default:
        ++i_;
        return Complete(AddNode({NodeKind::kByte, static_cast<uint8_t>(c)}));
    }
  }

  bool PushOperator(NodeKind kind) {
    ++i_;
    operators_.push_back({kind});
    return true;
  }

  uint32_t AddNode(Node node) {
    program_.nodes.push_back(node);
    return static_cast<uint32_t>(program_.nodes.size() - 1);
  }

  // An element is complete: it becomes an operand of the pending operator of this group, or
  // the next element of the group's sequence.
  bool Complete(uint32_t node) {
    while (true) {
      if (operators_.size() == groups_.back().operator_base) {
        program_.sequences[groups_.back().sequence].push_back(node);
        return true;
      }
      PendingOperator& op = operators_.back();
      if (op.kind == NodeKind::kOr) {
        if (!op.has_first) {
          op.has_first = true;
          op.first = node;
          return true;
        }
        const uint32_t first = op.first;
        operators_.pop_back();
        node = AddNode({NodeKind::kOr, 0, first, node});
        continue;  // a choice is itself an element
      }
      const NodeKind kind = op.kind;
      operators_.pop_back();
      if (operators_.size() != groups_.back().operator_base) return false;
      program_.sequences[groups_.back().sequence].push_back(AddNode({kind, 0, node}));
      return true;
    }
  }

  bool CloseGroup() {
    const OpenGroup group = groups_.back();
    if (operators_.size() != group.operator_base) return false;
    groups_.pop_back();
    return Complete(AddNode({NodeKind::kGroup, 0, group.sequence}));
  }

  bool ReadSet() {
    ++i_;  // "["
    std::bitset<256> set;
    while (true) {
      if (i_ >= pattern_.size()) return false;
      char c = pattern_[i_++];
      if (c == ']') break;
      if (c == '\\') {
        if (i_ >= pattern_.size()) return false;
        c = pattern_[i_++];
      }
      const auto low = static_cast<unsigned char>(c);
      if (i_ < pattern_.size() && pattern_[i_] == '-') {
        ++i_;
        if (i_ >= pattern_.size() || pattern_[i_] == ']') return false;
        char high_char = pattern_[i_++];
        if (high_char == '\\') {
          if (i_ >= pattern_.size()) return false;
          high_char = pattern_[i_++];
        }
        const auto high = static_cast<unsigned char>(high_char);
        for (unsigned value = low; value <= high; ++value) set.set(value);
      } else {
        set.set(low);
      }
    }
    program_.sets.push_back(set);
    return Complete(AddNode({NodeKind::kSet, 0, static_cast<uint32_t>(program_.sets.size() - 1)}));
  }

  bool ReadCapture() {
    ++i_;  // "."
    uint32_t number = 0;
    const size_t first = i_;
    while (i_ < pattern_.size() && pattern_[i_] >= '0' && pattern_[i_] <= '9') {
      number = number * 10 + static_cast<uint32_t>(pattern_[i_] - '0');
      if (number > kMaxCaptureNumber) return false;
      ++i_;
    }
    if (i_ == first || i_ >= pattern_.size() || pattern_[i_] != '.') return false;
    ++i_;
    program_.has_captures = true;
    return Complete(AddNode({NodeKind::kCapture, 0, number}));
  }

  void MarkSequence(uint32_t sequence, bool repeated) {
    for (const uint32_t node : program_.sequences[sequence]) {
      program_.nodes[node].repeated = program_.nodes[node].repeated || repeated;
      if (program_.nodes[node].kind == NodeKind::kStar) repeated = true;  // the rest is retried
    }
  }

  // A node is created after its operands and a group after its elements, so walking the nodes
  // from the last one down visits every parent before its children.
  void MarkRepeated() {
    MarkSequence(0, false);
    for (size_t n = program_.nodes.size(); n-- > 0;) {
      const Node node = program_.nodes[n];
      switch (node.kind) {
        case NodeKind::kGroup:
          MarkSequence(node.a, node.repeated);
          break;
        case NodeKind::kStar:
        case NodeKind::kPlus:
          program_.nodes[node.a].repeated = true;
          break;
        case NodeKind::kOr:
          program_.nodes[node.a].repeated = program_.nodes[node.a].repeated || node.repeated;
          program_.nodes[node.b].repeated = program_.nodes[node.b].repeated || node.repeated;
          break;
        default:
          break;
      }
    }
  }

  std::string_view pattern_;
  Program& program_;
  size_t i_ = 0;
  std::vector<OpenGroup> groups_;
  std::vector<PendingOperator> operators_;
};

}  // namespace

bool Parse(std::string_view pattern, Program& program) { return Parser(pattern, program).Run(); }

}  // namespace kestrova::pattern
