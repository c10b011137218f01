// The framers against the examples that matter, and against plain rescanning versions of
// themselves on random streams cut at random places.
#include "monitor/framers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "distribution/top_distributor.h"

namespace kestrova {
namespace {

struct Packet {
  std::string bytes;
  bool valid;
  friend bool operator==(const Packet&, const Packet&) = default;
};

struct Framed {
  std::vector<Packet> packets;
  std::string waiting;  // bytes no packet has taken yet
  friend bool operator==(const Framed&, const Framed&) = default;
};

using Decoder = std::function<void(VMurDistributor_ChannelRecord&)>;

// Feeds the blocks through a distribution chain whose decode handler is `decode`.
Framed FrameBlocks(const Decoder& decode, const std::vector<std::string>& blocks,
                   size_t keep_limit = VMurTopDistributor::kDefaultKeepTransferredLimit) {
  VMurTopDistributor top(nullptr);
  top.SetKeepTransferredLimit(keep_limit);
  Framed framed;
  top.OnAdvancedComDecode() = [&decode](VMurGeneralDistributor*, ChannelKey,
                                        VMurDistributor_ChannelRecord* rec,
                                        uint32_t) { decode(*rec); };
  top.OnAdvancedRecvTransfer() = [&framed](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                           std::string_view data, VMurGeneralDistributor* lowest,
                                           bool failed) {
    framed.waiting += data;
    if (lowest == nullptr) return;
    framed.packets.push_back({framed.waiting, !failed});
    framed.waiting.clear();
  };
  for (const std::string& block : blocks) top.ComReceive(nullptr, nullptr, block);
  top.DeleteChannel(nullptr);
  return framed;
}

Decoder Stateful(Protocol protocol, uint8_t delimiter = kDefaultFrameDelimiter) {
  return [=](VMurDistributor_ChannelRecord& rec) { Frame(protocol, delimiter, rec); };
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

// A Fatek frame with a correct checksum around `body`.
std::string FatekFrame(const std::string& body) {
  std::string frame = "\x02" + body;
  unsigned sum = 0;
  for (char c : frame) sum += static_cast<uint8_t>(c);
  static const char kHex[] = "0123456789ABCDEF";
  frame += kHex[(sum >> 4) & 0xF];
  frame += kHex[sum & 0xF];
  return frame + "\x03";
}

TEST(Framers, Examples) {
  struct Case {
    const char* name;
    Protocol protocol;
    std::vector<std::string> blocks;
    Framed expected;
  };
  const std::string valid_fatek = FatekFrame("01400");
  std::string wrong_sixth = FatekFrame("01401");
  const std::vector<Case> cases = {
      {"hex delimiter starts and ends packets",
       Protocol::kHex,
       {Bytes({0x7E, 1, 2, 0x7E, 0x7E, 3, 0x7E})},
       {{{Bytes({0x7E, 1, 2, 0x7E}), true}, {Bytes({0x7E, 3, 0x7E}), true}}, ""}},
      {"hex ends before three plus signs",
       Protocol::kHex,
       {"AB+++"},
       {{{"AB", true}, {"+++", true}}, ""}},
      {"hex: a later delimiter replaces the plus-sign end",
       Protocol::kHex,
       {"AB+++CD~"},
       {{{"AB+++CD~", true}}, ""}},
      {"base64 ends before a high byte",
       Protocol::kBase64,
       {"QUJD" + Bytes({0x80}) + "RA"},
       {{{"QUJD", true}}, Bytes({0x80}) + "RA"}},
      {"text waits for the byte after the line end", Protocol::kText, {"abc\r\n"}, {{}, "abc\r\n"}},
      {"text ends once the next line starts",
       Protocol::kText,
       {"abc\r\n", "d"},
       {{{"abc\r\n", true}}, "d"}},
      {"textRN ends at LF or the delimiter",
       Protocol::kTextRN,
       {"ab~cd\nef"},
       {{{"ab~", true}, {"cd\n", true}}, "ef"}},
      {"fatek frame with a correct checksum",
       Protocol::kFatek,
       {valid_fatek},
       {{{valid_fatek, true}}, ""}},
      {"fatek frame whose sixth byte is not 0 fails",
       Protocol::kFatek,
       {wrong_sixth},
       {{{wrong_sixth, false}}, ""}},
      {"fatek frame shorter than nine bytes never valid",
       Protocol::kFatek,
       {"\x02"
        "0140"
        "\x03"},
       {{{"\x02"
          "0140"
          "\x03",
          false}},
        ""}},
      {"fatek garbage before STX fails",
       Protocol::kFatek,
       {"xy" + valid_fatek},
       {{{"xy", false}, {valid_fatek, true}}, ""}},
      {"fatek garbage is cut into 30 bytes",
       Protocol::kFatek,
       {std::string(31, 'g')},
       {{{std::string(30, 'g'), false}}, "g"}},
      {"a4a3 ends before A4 and with A3",
       Protocol::kA4A3,
       {Bytes({0x11, 0x22, 0xA4, 0x33, 0xA3})},
       {{{Bytes({0x11, 0x22}), false}, {Bytes({0xA4, 0x33, 0xA3}), false}}, ""}},
      {"a4a3 line end takes an A3 two bytes on",
       Protocol::kA4A3,
       {"ab\r\n" + Bytes({0xA3}) + "c"},
       {{{"ab\r\n" + Bytes({0xA3}), false}}, "c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FrameBlocks(Stateful(c.protocol), c.blocks), c.expected);
  }
}

// Plain versions: rescan the whole buffer on every call, positions counted from 1.
struct ReferenceClaim {
  size_t length;
  bool valid;
};

std::optional<ReferenceClaim> ReferenceHex(std::string_view b, uint8_t delimiter) {
  auto at = [&](size_t p) { return static_cast<uint8_t>(b[p - 1]); };
  std::optional<ReferenceClaim> claim;
  int c = !b.empty() && at(1) == '+' ? 1 : 0;
  for (size_t p = 2; p <= b.size(); ++p) {
    if (at(p) == delimiter) return ReferenceClaim{p, true};
    if (at(p) == '+') {
      if (++c == 3) claim = ReferenceClaim{p == 3 ? 3 : p - 3, true};
    } else {
      c = 0;
    }
  }
  return claim;
}

std::optional<ReferenceClaim> ReferenceBase64(std::string_view b) {
  for (size_t p = 2; p <= b.size(); ++p) {
    if (static_cast<uint8_t>(b[p - 1]) >= 0x80) return ReferenceClaim{p - 1, true};
  }
  return std::nullopt;
}

bool LineEnd(char c) { return c == '\r' || c == '\n'; }

std::optional<ReferenceClaim> ReferenceText(std::string_view b) {
  for (size_t p = 2; p <= b.size(); ++p) {
    if (LineEnd(b[p - 2]) && !LineEnd(b[p - 1])) return ReferenceClaim{p - 1, true};
  }
  return std::nullopt;
}

std::optional<ReferenceClaim> ReferenceTextRN(std::string_view b, uint8_t delimiter) {
  for (size_t p = 2; p <= b.size(); ++p) {
    if (b[p - 1] == '\n' || static_cast<uint8_t>(b[p - 1]) == delimiter) {
      return ReferenceClaim{p, true};
    }
  }
  return std::nullopt;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<ReferenceClaim> ReferenceFatek(std::string_view b) {
  for (size_t p = 1; p <= b.size(); ++p) {
    if (b[p - 1] == '\x02') {
      if (p == 1) break;
      return ReferenceClaim{p - 1, false};
    }
    if (p > 30) return ReferenceClaim{p - 1, false};
  }
  for (size_t p = 2; p <= b.size(); ++p) {
    if (b[p - 1] != '\x03') continue;
    bool valid = false;
    if (p >= 9) {
      unsigned sum = 0;
      for (size_t k = 1; k <= p - 3; ++k) sum += static_cast<uint8_t>(b[k - 1]);
      const int high = Hex(b[p - 3]), low = Hex(b[p - 2]);
      valid =
          high >= 0 && low >= 0 && static_cast<int>(sum % 256) == high * 16 + low && b[5] == '0';
    }
    return ReferenceClaim{p, valid};
  }
  return std::nullopt;
}

std::optional<ReferenceClaim> ReferenceA4A3(std::string_view b) {
  auto at = [&](size_t p) { return static_cast<uint8_t>(b[p - 1]); };
  const size_t len = b.size();
  for (size_t p = 1; p <= len; ++p) {
    const uint8_t c = at(p);
    if (c == 0xA3) return ReferenceClaim{p, false};
    if (c == 0xA4 && p > 1) return ReferenceClaim{p - 1, false};
    if (c == '\r' || c == '\n') {
      if (p == len) return ReferenceClaim{p, false};
      if (at(p + 1) == 0xA3) return ReferenceClaim{p + 1, false};
      if (p + 2 <= len && at(p + 2) == 0xA3) return ReferenceClaim{p + 2, false};
      if (at(p + 1) != '\r' && at(p + 1) != '\n') return ReferenceClaim{p, false};
    }
    if (p > 300) return ReferenceClaim{p - 1, false};
  }
  return std::nullopt;
}

Decoder Reference(Protocol protocol, uint8_t delimiter) {
  return [=](VMurDistributor_ChannelRecord& rec) {
    const std::string_view bytes = rec.Buffer->View();
    std::optional<ReferenceClaim> claim;
    switch (protocol) {
      case Protocol::kHex:
        claim = ReferenceHex(bytes, delimiter);
        break;
      case Protocol::kBase64:
        claim = ReferenceBase64(bytes);
        break;
      case Protocol::kText:
        claim = ReferenceText(bytes);
        break;
      case Protocol::kTextRN:
        claim = ReferenceTextRN(bytes, delimiter);
        break;
      case Protocol::kFatek:
        claim = ReferenceFatek(bytes);
        break;
      case Protocol::kA4A3:
        claim = ReferenceA4A3(bytes);
        break;
    }
    if (!claim) return;
    rec.PacketLength = static_cast<int32_t>(claim->length);
    if (claim->valid) rec.Failed = false;
  };
}

unsigned Seed() {
  if (const char* fixed = std::getenv("KESTROVA_SEED")) return std::strtoul(fixed, nullptr, 10);
  return std::random_device()();
}

// Streams from bytes each framer reacts to, now and then a whole Fatek frame or a long run.
std::string RandomStream(std::mt19937& random) {
  static const std::string kAlphabet =
      Bytes({'+', '+', 0x7E, 'A', '0', '\r', '\n', 0x02, 0x03, 0xA3, 0xA4, 0x80, 'x', '5', 'F'});
  std::string stream;
  const size_t pieces = random() % 12;
  for (size_t i = 0; i < pieces; ++i) {
    switch (random() % 6) {
      case 0:
        stream += FatekFrame(std::string("01") + static_cast<char>('0' + random() % 4) + "0" +
                             static_cast<char>('0' + random() % 2));
        break;
      case 1:
        stream += std::string(random() % 400, 'y');
        break;
      default:
        for (size_t n = random() % 20; n > 0; --n) stream += kAlphabet[random() % kAlphabet.size()];
    }
  }
  return stream;
}

TEST(Framers, KeepingTheScanClaimsWhatARescanFromTheStartClaims) {
  const unsigned seed = Seed();
  SCOPED_TRACE("KESTROVA_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  for (int n = 0; n < 3000; ++n) {
    const std::string stream = RandomStream(random);
    std::vector<std::string> blocks;
    for (size_t at = 0; at < stream.size();) {
      const size_t size = random() % 4 == 0 ? 1 + random() % 200 : 1 + random() % 5;
      blocks.push_back(stream.substr(at, size));
      at += size;
    }
    for (int protocol = 0; protocol <= 5; ++protocol) {
      const uint8_t delimiter = random() % 2 ? kDefaultFrameDelimiter : '0';
      const auto p = static_cast<Protocol>(protocol);
      ASSERT_EQ(FrameBlocks(Stateful(p, delimiter), blocks),
                FrameBlocks(Reference(p, delimiter), blocks))
          << "case " << n << " protocol " << protocol;
    }
  }
}

TEST(Framers, ScanBelongsToOneProtocolAndDelimiter) {
  // Switching protocol or delimiter between blocks must not reuse the other's scan.
  VMurTopDistributor top(nullptr);
  Protocol protocol = Protocol::kHex;
  uint8_t delimiter = '#';
  std::vector<std::string> packets;
  top.OnAdvancedComDecode() = [&](VMurGeneralDistributor*, ChannelKey,
                                  VMurDistributor_ChannelRecord* rec,
                                  uint32_t) { Frame(protocol, delimiter, *rec); };
  top.OnAdvancedRecvPoll() = [&](VMurGeneralDistributor*, ChannelKey, uint32_t&,
                                 std::string_view data, bool&) { packets.emplace_back(data); };
  top.ComReceive(nullptr, nullptr, "ab~c");  // no '#': nothing yet
  delimiter = '~';
  top.ComReceive(nullptr, nullptr, "d");
  protocol = Protocol::kTextRN;
  top.ComReceive(nullptr, nullptr, "e\n");
  top.DeleteChannel(nullptr);
  EXPECT_EQ(packets, (std::vector<std::string>{"ab~", "cde\n"}));
}

}  // namespace
}  // namespace kestrova
