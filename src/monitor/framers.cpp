#include "monitor/framers.h"

namespace kestrova {

const char* ProtocolName(Protocol protocol) {
  static const char* const kNames[kProtocolCount] = {"Hex",    "Base64", "Text",
                                                     "TextRN", "Fatek",  "A4A3"};
  return kNames[static_cast<int>(protocol)];
}

void Frame(Protocol protocol, uint8_t delimiter, VMurDistributor_ChannelRecord& rec) {
  switch (protocol) {
    case Protocol::kHex:
      return FrameHex(rec, delimiter);
    case Protocol::kBase64:
      return FrameBase64(rec);
    case Protocol::kText:
      return FrameText(rec);
    case Protocol::kTextRN:
      return FrameTextRN(rec, delimiter);
    case Protocol::kFatek:
      return FrameFatek(rec);
    case Protocol::kA4A3:
      return FrameA4A3(rec);
  }
}

}  // namespace kestrova
