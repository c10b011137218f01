#include "util/pattern_match.h"

#include <cstdint>
#include <limits>

#include "util/pattern_program.h"

namespace kestrova {
namespace {

using pattern::Node;
using pattern::NodeKind;
using pattern::Program;

// Work limit of one call in frame steps (some ten nanoseconds each): a fixed allowance plus
// some per byte of subject and pattern. Typical filter rules on a packet take a few hundred.
constexpr uint64_t kBaseSteps = 4'000'000;
constexpr uint64_t kStepsPerByte = 32;
// Remembered "*" and "+" results take one cell per node and subject position; nodes beyond
// this many cells in all go on without remembering.
constexpr size_t kMaxMemoCells = size_t{1} << 23;
constexpr int32_t kUnknown = -3;

struct Frame {
  enum Type : uint8_t { kSequence, kStar, kPlus, kOr };
  Type type;
  uint8_t phase = 0;
  uint32_t node = 0;      // kStar, kPlus, kOr: the operator node
  uint32_t sequence = 0;  // kSequence, kStar
  uint32_t index = 0;     // kSequence: the next element; kStar: the star's own index
  size_t pos = 0;
  size_t log_base = 0;  // kStar, kPlus: where this walk's positions start in the walk log
};

// Runs the program with an explicit frame stack, so neither long subjects nor deep nesting
// use the call stack. "*" and "+" nodes that can run more than once remember, per start
// position, where they ended: every position a walk passed gives the same result, so a later
// walk that reaches one stops there. That keeps nested "*" patterns near linear.
class Matcher {
 public:
  Matcher(const Program& program, size_t pattern_size, std::string_view subject,
          std::vector<int64_t>& captures)
      : program_(program), pattern_size_(pattern_size), subject_(subject), captures_(captures) {}

  // The end position, kMatchFailed or kMatchMalformed (work limit).
  int64_t Run(size_t start) {
    stack_.push_back({Frame::kSequence, 0, 0, 0, 0, start});
    const uint64_t max_steps = kBaseSteps + kStepsPerByte * (subject_.size() + pattern_size_);
    uint64_t steps = 0;
    while (!stack_.empty()) {
      if (++steps > max_steps) return kMatchMalformed;
      switch (stack_.back().type) {
        case Frame::kSequence:
          RunSequence();
          break;
        case Frame::kStar:
          RunStar();
          break;
        case Frame::kPlus:
          RunPlus();
          break;
        case Frame::kOr:
          RunOr();
          break;
      }
    }
    return ok_ ? static_cast<int64_t>(end_) : kMatchFailed;
  }

 private:
  void Return(bool ok, size_t end) {
    stack_.pop_back();
    ok_ = ok;
    end_ = end;
  }

  // Matches a simple element at once (result in ok_, end_) or pushes the frame of a group or
  // a choice, whose result arrives the same way when it returns.
  void StartElement(uint32_t index, size_t pos) {
    const Node& node = program_.nodes[index];
    const bool has_byte = pos < subject_.size();
    const auto byte = has_byte ? static_cast<unsigned char>(subject_[pos]) : 0;
    end_ = pos + 1;
    switch (node.kind) {
      case NodeKind::kByte:
        ok_ = has_byte && byte == node.byte;
        return;
      case NodeKind::kAny:
        ok_ = has_byte;
        return;
      case NodeKind::kSet:
        ok_ = has_byte && program_.sets[node.a].test(byte);
        return;
      case NodeKind::kCapture:
        if (captures_.size() <= node.a) captures_.resize(node.a + 1, -1);
        captures_[node.a] = static_cast<int64_t>(pos);
        ok_ = true;
        end_ = pos;
        return;
      case NodeKind::kGroup:
        stack_.push_back({Frame::kSequence, 0, 0, node.a, 0, pos});
        return;
      case NodeKind::kOr:
        stack_.push_back({Frame::kOr, 0, index, 0, 0, pos});
        return;
      case NodeKind::kStar:
      case NodeKind::kPlus:
        break;  // never an operand: the parser refuses it
    }
    ok_ = false;
  }

  void RunSequence() {
    Frame& frame = stack_.back();
    if (frame.phase == 1) {
      if (!ok_) return Return(false, 0);
      frame.pos = end_;
      ++frame.index;
    }
    const auto& elements = program_.sequences[frame.sequence];
    if (frame.index == elements.size()) return Return(true, frame.pos);
    const uint32_t index = elements[frame.index];
    const NodeKind kind = program_.nodes[index].kind;
    if (kind == NodeKind::kStar) {
      // The star decides the rest of this sequence: the frame becomes the star's.
      frame.type = Frame::kStar;
      frame.node = index;
      frame.phase = 0;
      frame.log_base = walk_log_.size();
      return;
    }
    frame.phase = 1;
    if (kind == NodeKind::kPlus) {
      const size_t pos = frame.pos;
      stack_.push_back({Frame::kPlus, 0, index, 0, 0, pos, walk_log_.size()});
      return;
    }
    StartElement(index, frame.pos);
  }

  void RunStar() {
    Frame& frame = stack_.back();
    const Node& node = program_.nodes[frame.node];
    switch (frame.phase) {
      case 0: {  // try the rest of the sequence here
        if (int32_t* known = MemoCell(frame.node, frame.pos)) {
          if (*known != kUnknown) return FinishWalk(*known);
          walk_log_.push_back(frame.pos);
        }
        frame.phase = 1;
        const Frame rest{Frame::kSequence, 0, 0, frame.sequence, frame.index + 1, frame.pos};
        stack_.push_back(rest);
        return;
      }
      case 1:  // the rest returned; on failure take one more occurrence
        if (ok_) return FinishWalk(static_cast<int64_t>(end_));
        frame.phase = 2;
        return StartElement(node.a, frame.pos);
      default:
        if (!ok_ || end_ == frame.pos) return FinishWalk(kMatchFailed);
        frame.pos = end_;
        frame.phase = 0;
        return;
    }
  }

  void RunPlus() {
    Frame& frame = stack_.back();
    const Node& node = program_.nodes[frame.node];
    if (frame.phase == 0) {
      if (int32_t* known = MemoCell(frame.node, frame.pos)) {
        if (*known != kUnknown) return FinishWalk(*known);
        walk_log_.push_back(frame.pos);
      }
      frame.phase = 1;
      return StartElement(node.a, frame.pos);
    }
    if (ok_ && end_ > frame.pos) {
      frame.pos = end_;
      frame.phase = 0;
      return;
    }
    FinishWalk(static_cast<int64_t>(frame.pos));
  }

  void RunOr() {
    Frame& frame = stack_.back();
    const Node& node = program_.nodes[frame.node];
    if (frame.phase == 0) {
      frame.phase = 1;
      return StartElement(node.a, frame.pos);
    }
    if (frame.phase == 1 && !ok_) {
      frame.phase = 2;
      return StartElement(node.b, frame.pos);
    }
    Return(ok_, end_);
  }

  // The remembered result of a "*" or "+" node at `pos`, or nullptr when the node does not
  // remember. Only nodes that can run more than once remember; with captures a remembered
  // success would skip recording them, so "+" (which always succeeds) does not and "*" keeps
  // only failures.
  int32_t* MemoCell(uint32_t index, size_t pos) {
    const Node& node = program_.nodes[index];
    if (!node.repeated || (node.kind == NodeKind::kPlus && program_.has_captures)) {
      return nullptr;
    }
    if (memo_slot_.empty()) memo_slot_.assign(program_.nodes.size(), -1);
    int32_t& slot = memo_slot_[index];
    if (slot < 0) {
      const size_t cells = subject_.size() + 1;
      if (slot == -2 || subject_.size() > std::numeric_limits<int32_t>::max() ||
          memo_cells_ + cells > kMaxMemoCells) {
        slot = -2;  // never
        return nullptr;
      }
      memo_cells_ += cells;
      memo_.emplace_back(cells, kUnknown);
      slot = static_cast<int32_t>(memo_.size() - 1);
    }
    return &memo_[slot][pos];
  }

  // Ends the walk of the "*" or "+" frame on top with `result`, remembering it for every
  // position the walk passed.
  void FinishWalk(int64_t result) {
    const Frame& frame = stack_.back();
    if (result == kMatchFailed || !program_.has_captures) {
      for (size_t i = frame.log_base; i < walk_log_.size(); ++i) {
        *MemoCell(frame.node, walk_log_[i]) = static_cast<int32_t>(result);
      }
    }
    walk_log_.resize(frame.log_base);
    if (result == kMatchFailed) return Return(false, 0);
    Return(true, static_cast<size_t>(result));
  }

  const Program& program_;
  size_t pattern_size_;
  std::string_view subject_;
  std::vector<int64_t>& captures_;
  std::vector<Frame> stack_;
  std::vector<size_t> walk_log_;
  std::vector<int32_t> memo_slot_;  // per node: memo_ index, -1 not yet, -2 never
  std::vector<std::vector<int32_t>> memo_;
  size_t memo_cells_ = 0;
  bool ok_ = false;
  size_t end_ = 0;
};

}  // namespace

int Match(size_t& position, std::string_view subject, std::string_view pattern,
          std::vector<int64_t>& captures) {
  for (int64_t& slot : captures) slot = -1;
  Program program;
  if (!pattern::Parse(pattern, program)) return kMatchMalformed;
  const size_t start = position < subject.size() ? position : subject.size();
  const int64_t end = Matcher(program, pattern.size(), subject, captures).Run(start);
  if (end < 0) return static_cast<int>(end);
  const int64_t consumed = end - static_cast<int64_t>(start);
  if (consumed > INT32_MAX) return kMatchMalformed;
  position += static_cast<size_t>(consumed);
  return static_cast<int>(consumed);
}

}  // namespace kestrova
