// Compares the matcher with a plain recursive model of the pattern language on random
// patterns built from a tree, so the model shares nothing with the matcher's parser.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "util/pattern_match.h"

namespace kestrova {
namespace {

struct Element {
  enum Kind { kByte, kAny, kSet, kCapture, kGroup, kStar, kPlus, kOr };
  explicit Element(Kind k) : kind(k) {}
  Kind kind;
  char byte = 0;
  std::string set_text;           // kSet: as written between the brackets
  std::vector<bool> set_bytes;    // kSet: membership
  std::vector<Element> children;  // kGroup: the sequence; kStar, kPlus: 1; kOr: 2 operands
};

class Model {
 public:
  Model(std::string_view subject, std::vector<int64_t>& captures)
      : subject_(subject), captures_(captures) {}

  std::optional<size_t> Sequence(const std::vector<Element>& sequence, size_t i, size_t pos) {
    if (i == sequence.size()) return pos;
    const Element& element = sequence[i];
    if (element.kind == Element::kStar) {
      for (size_t p = pos;;) {
        if (auto end = Sequence(sequence, i + 1, p)) return end;
        const auto next = Single(element.children[0], p);
        if (!next || *next == p) return std::nullopt;
        p = *next;
      }
    }
    if (element.kind == Element::kPlus) {
      size_t p = pos;
      while (true) {
        const auto next = Single(element.children[0], p);
        if (!next || *next == p) break;
        p = *next;
      }
      return Sequence(sequence, i + 1, p);
    }
    const auto next = Single(element, pos);
    if (!next) return std::nullopt;
    return Sequence(sequence, i + 1, *next);
  }

 private:
  std::optional<size_t> Single(const Element& element, size_t pos) {
    const bool has_byte = pos < subject_.size();
    const auto byte = has_byte ? static_cast<unsigned char>(subject_[pos]) : 0;
    switch (element.kind) {
      case Element::kByte:
        if (has_byte && byte == static_cast<unsigned char>(element.byte)) return pos + 1;
        return std::nullopt;
      case Element::kAny:
        if (has_byte) return pos + 1;
        return std::nullopt;
      case Element::kSet:
        if (has_byte && element.set_bytes[byte]) return pos + 1;
        return std::nullopt;
      case Element::kCapture: {
        const size_t slot = static_cast<size_t>(element.byte);
        if (captures_.size() <= slot) captures_.resize(slot + 1, -1);
        captures_[slot] = static_cast<int64_t>(pos);
        return pos;
      }
      case Element::kGroup:
        return Sequence(element.children, 0, pos);
      case Element::kOr:
        if (auto end = Single(element.children[0], pos)) return end;
        return Single(element.children[1], pos);
      default:
        return std::nullopt;
    }
  }

  std::string_view subject_;
  std::vector<int64_t>& captures_;
};

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  std::vector<Element> Sequence(int depth) {
    std::vector<Element> sequence;
    for (int n = Pick(4); n > 0; --n) sequence.push_back(Any(depth, true));
    return sequence;
  }

  bool has_star = false;

 private:
  int Pick(int n) { return static_cast<int>(random_() % n); }

  // An element; `in_sequence` allows the "*" and "+" constructs, which are no operands.
  Element Any(int depth, bool in_sequence) {
    const int choice = Pick(depth > 0 ? 10 : 5);
    switch (choice) {
      case 0:
      case 1: {
        Element e(Element::kByte);
        e.byte = "ab*\x80"[Pick(4)];
        return e;
      }
      case 2:
        return Element(Element::kAny);
      case 3: {
        Element e(Element::kSet);
        e.set_bytes.assign(256, false);
        const int kind = Pick(3);
        if (kind == 0) {
          e.set_text = "a";
          e.set_bytes['a'] = true;
        } else if (kind == 1) {
          e.set_text = "\\*-b";
          for (int c = '*'; c <= 'b'; ++c) e.set_bytes[c] = true;
        }  // kind 2: the empty set
        return e;
      }
      case 4: {
        Element e(Element::kCapture);
        e.byte = static_cast<char>(Pick(3));
        return e;
      }
      case 5:
      case 6: {
        Element e(Element::kGroup);
        e.children = Sequence(depth - 1);
        return e;
      }
      case 7: {
        Element e(Element::kOr);
        e.children = {Any(depth - 1, false), Any(depth - 1, false)};
        return e;
      }
      default: {
        if (!in_sequence) return Element(Element::kAny);
        Element e(choice == 8 ? Element::kStar : Element::kPlus);
        has_star = has_star || choice == 8;
        e.children = {Any(depth - 1, false)};
        return e;
      }
    }
  }

  std::mt19937 random_;
};

void Write(const std::vector<Element>& sequence, std::string& out);

void Write(const Element& element, std::string& out) {
  switch (element.kind) {
    case Element::kByte:
      if (element.byte == '*') out.push_back('\\');
      out.push_back(element.byte);
      return;
    case Element::kAny:
      out.push_back('?');
      return;
    case Element::kSet:
      out += "[" + element.set_text + "]";
      return;
    case Element::kCapture:
      out += "." + std::to_string(element.byte) + ".";
      return;
    case Element::kGroup:
      out.push_back('{');
      Write(element.children, out);
      out.push_back('}');
      return;
    case Element::kStar:
    case Element::kPlus:
    case Element::kOr:
      out.push_back(element.kind == Element::kStar   ? '*'
                    : element.kind == Element::kPlus ? '+'
                                                     : '|');
      for (const auto& child : element.children) Write(child, out);
      return;
  }
}

void Write(const std::vector<Element>& sequence, std::string& out) {
  for (const auto& element : sequence) Write(element, out);
}

TEST(MatchReference, AgreesWithARecursiveModelOnRandomPatterns) {
  std::mt19937 random(11);
  const std::string alphabet = "ab*\x80";
  int matched = 0;
  for (unsigned round = 0; round < 20000; ++round) {
    Generator generator(round);
    const std::vector<Element> tree = generator.Sequence(3);
    std::string pattern;
    Write(tree, pattern);
    std::string subject(random() % 9, 'a');
    for (char& c : subject) c = alphabet[random() % alphabet.size()];

    std::vector<int64_t> model_captures;
    const auto expected = Model(subject, model_captures).Sequence(tree, 0, 0);
    std::vector<int64_t> captures;
    size_t position = 0;
    const int result = Match(position, subject, pattern, captures);
    ASSERT_EQ(result, expected ? static_cast<int>(*expected) : kMatchFailed)
        << '"' << pattern << "\" on \"" << subject << '"';
    if (expected) {
      ++matched;
      // Without "*" no branch is skipped by remembered results, so every slot agrees.
      if (!generator.has_star) {
        EXPECT_EQ(captures, model_captures) << pattern << " on " << subject;
      }
    }
  }
  EXPECT_GT(matched, 2000);  // the patterns are not trivially failing
}

}  // namespace
}  // namespace kestrova
