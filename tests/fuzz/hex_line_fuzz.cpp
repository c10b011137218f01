// The terminal's send line and hex line under a fuzzer-chosen sequence of edits, keys and sends:
// the two lines always stay each other's conversion, the hex line's bytes match a plain
// run-by-run reading of the text, and a send puts exactly the send line's bytes (plus the
// terminator) on the wire, then leaves both lines empty.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "terminal/mur_terminal.h"
#include "util/hex.h"

namespace {

using kestrova::CharKeyAction;
using kestrova::KeyPlace;

bool IsHexDigit(char c) { return kestrova::HexDigitValue(c, -1) >= 0; }

// Reads the text as runs: a run of n hex digits gives n / 2 bytes of digit pairs and, when n is
// odd, its last digit as a byte of its own; other characters above space stand for themselves.
std::string ReferenceHexToBytes(std::string_view text) {
  std::string bytes;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && IsHexDigit(text[end])) ++end;
    for (size_t k = i; k + 1 < end; k += 2) {
      bytes.push_back(static_cast<char>(kestrova::HexDigitValue(text[k], 0) * 16 +
                                        kestrova::HexDigitValue(text[k + 1], 0)));
    }
    if ((end - i) % 2 == 1)
      bytes.push_back(static_cast<char>(kestrova::HexDigitValue(text[end - 1], 0)));
    if (end == i) {
      if (static_cast<unsigned char>(text[i]) > ' ') bytes.push_back(text[i]);
      ++end;
    }
    i = end;
  }
  return bytes;
}

// Upper-case digit pairs each followed by one space.
bool IsHexRendering(std::string_view hex) {
  if (hex.size() % 3 != 0) return false;
  for (size_t i = 0; i < hex.size(); i += 3) {
    for (const char c : hex.substr(i, 2)) {
      if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    if (hex[i + 2] != ' ') return false;
  }
  return true;
}

// Takes one length-prefixed piece off the input.
std::string_view TakePiece(std::string_view& input) {
  if (input.empty()) return {};
  const size_t size = std::min<size_t>(static_cast<unsigned char>(input[0]), input.size() - 1);
  const std::string_view piece = input.substr(1, size);
  input.remove_prefix(1 + size);
  return piece;
}

struct Sent {
  std::string data;
  bool includes_cr = false;
  int count = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  kestrova::VMurTerminal terminal(nullptr);
  Sent sent;
  terminal.SetOnTermSendData([&sent](kestrova::Object*, const std::string& bytes, bool cr) {
    sent.data = bytes;
    sent.includes_cr = cr;
    ++sent.count;
  });
  while (!input.empty()) {
    const auto op = static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
    const std::string before = terminal.SendLineBytes();
    const int sends_before = sent.count;
    switch (op % 4) {
      case 0: {  // text typed or pasted into the hex line
        const std::string text(TakePiece(input));
        terminal.HexLineEdited(text);
        FUZZ_CHECK(terminal.HexLineText() == text);
        FUZZ_CHECK(terminal.SendLineBytes() == ReferenceHexToBytes(text));
        break;
      }
      case 1: {  // bytes put into the send line: its hex rendering reads back to them
        const std::string bytes(TakePiece(input));
        terminal.SendLineEdited(bytes);
        FUZZ_CHECK(terminal.SendLineBytes() == bytes);
        FUZZ_CHECK(IsHexRendering(terminal.HexLineText()));
        FUZZ_CHECK(terminal.HexLineText().size() == 3 * bytes.size());
        break;
      }
      case 2: {  // a key typed with the focus somewhere in the window
        const auto place = static_cast<KeyPlace>((op / 4) % 6);
        const std::string typed(TakePiece(input));
        const CharKeyAction action = terminal.CharKey(place, typed, op & 0x80);
        switch (action) {
          case CharKeyAction::kAppend:
            FUZZ_CHECK(terminal.SendLineBytes() == before + typed);
            break;
          case CharKeyAction::kBackspace:
            FUZZ_CHECK(before.empty() || terminal.SendLineBytes().size() < before.size());
            FUZZ_CHECK(before.size() - terminal.SendLineBytes().size() <= 4);
            FUZZ_CHECK(
                before.compare(0, terminal.SendLineBytes().size(), terminal.SendLineBytes()) == 0);
            break;
          case CharKeyAction::kSend:
          case CharKeyAction::kSendCtrlZ:
          case CharKeyAction::kSendEscape:
            FUZZ_CHECK(sent.count == sends_before + 1 && sent.includes_cr);
            FUZZ_CHECK(sent.data.substr(0, sent.data.size() - 1) == before);
            FUZZ_CHECK(before.empty() || terminal.History().front() == before);
            break;
          case CharKeyAction::kSendDirect:
            FUZZ_CHECK(sent.count == sends_before + 1 && !sent.includes_cr && sent.data == before);
            break;
          case CharKeyAction::kClearHexLine:
            FUZZ_CHECK(sent.count == sends_before && terminal.SendLineBytes().empty());
            break;
          case CharKeyAction::kNone:
            FUZZ_CHECK(sent.count == sends_before && terminal.SendLineBytes() == before);
            break;
        }
        break;
      }
      case 3:  // "Odeslat" or "Přímo"
        if (op & 4) {
          terminal.SendLine();
          FUZZ_CHECK(sent.count == sends_before + 1 && sent.includes_cr);
          FUZZ_CHECK(sent.data == before + '\r');
        } else {
          terminal.SendDirect();
          FUZZ_CHECK(sent.count == sends_before + 1 && !sent.includes_cr && sent.data == before);
        }
        FUZZ_CHECK(terminal.SendLineBytes().empty() && terminal.HexLineText().empty());
        break;
    }
    // Whatever happened, the send line is what the hex line reads as.
    FUZZ_CHECK(terminal.SendLineBytes() == kestrova::HexToBytes(terminal.HexLineText()));
    FUZZ_CHECK(terminal.History().size() <= kestrova::TerminalHistory::kMaxEntries);
  }
  return 0;
}
