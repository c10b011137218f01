// What the bridge library tells about one attached bridge, read once per open or listing.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "cp2112/hid_smbus_library.h"

namespace kestrova {

struct CP2112DeviceInfo {
  // Indexed by HidSmbus_GetString's kind minus one: vendor id text, product id text, path,
  // serial number, manufacturer, product.
  enum Text { kVendorIdText, kProductIdText, kPath, kSerialNumber, kManufacturer, kProduct };
  static constexpr size_t kTextCount = 6;

  bool attributes_read = false;
  uint16_t vendor_id = 0;
  uint16_t product_id = 0;
  uint16_t release_number = 0;
  std::array<std::string, kTextCount> texts;
  std::array<bool, kTextCount> text_read{};

  bool Has(Text text) const { return text_read[text]; }
  const std::string& Get(Text text) const { return texts[text]; }
};

// One string of device `index`; false when the library could not read it.
bool ReadCP2112String(const HidSmbusFunctions& calls, uint32_t index, CP2112DeviceInfo::Text text,
                      std::string& value);

// Reads the attributes and the six strings, the path first. Serial number, manufacturer and
// product that all read as the same text come from a bridge that was never given its own
// strings; they count as unread, so such a bridge has no serial number to be named by.
CP2112DeviceInfo ReadCP2112DeviceInfo(const HidSmbusFunctions& calls, uint32_t index);

}  // namespace kestrova
