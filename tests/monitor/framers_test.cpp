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
#include "support/framer_reference.h"

namespace kestrova {
namespace {

using testing::FrameBlocks;
using testing::Framed;
using testing::Packet;
using testing::Reference;
using testing::Stateful;

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
