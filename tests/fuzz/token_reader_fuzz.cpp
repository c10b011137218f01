// The token reader on any text: it always ends, moves forward, and whatever token it reads,
// QuoteToken writes so that it reads back whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "util/tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  constexpr std::string_view kSeparatorSets[] = {kestrova::kTokenSeparators, "|", ":", ""};
  const std::string_view separators = kSeparatorSets[data[0] % 4];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  size_t position = 0;
  std::string token;
  bool more = true;
  while (more) {
    const size_t before = position;
    more = kestrova::NextToken(text, position, separators, token);
    FUZZ_CHECK(position <= text.size());
    FUZZ_CHECK(!more || position > before);
    FUZZ_CHECK(token.size() <= position - before);

    const std::string written = kestrova::QuoteToken(token, separators);
    size_t again = 0;
    std::string read_back;
    kestrova::NextToken(written, again, separators, read_back);
    FUZZ_CHECK(read_back == token);
    FUZZ_CHECK(again == written.size());
  }

  std::string rest(text);
  std::string first = kestrova::SplitFirstToken(rest, separators);
  size_t position_again = 0;
  kestrova::NextToken(text, position_again, separators, token);
  FUZZ_CHECK(first == token);
  FUZZ_CHECK(rest == text.substr(position_again));
  return 0;
}
