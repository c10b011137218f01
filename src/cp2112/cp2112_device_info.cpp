#include "cp2112/cp2112_device_info.h"

namespace kestrova {

bool ReadCP2112String(const HidSmbusFunctions& calls, uint32_t index, CP2112DeviceInfo::Text text,
                      std::string& value) {
  std::array<char, HID_SMBUS_STRING_LENGTH> buffer{};
  if (calls.GetString(index, 0, 0, buffer.data(), static_cast<uint32_t>(text) + 1) !=
      HID_SMBUS_SUCCESS) {
    return false;
  }
  buffer.back() = '\0';  // a library that fills the whole buffer still gives a bounded text
  value = buffer.data();
  return true;
}

CP2112DeviceInfo ReadCP2112DeviceInfo(const HidSmbusFunctions& calls, uint32_t index) {
  using Info = CP2112DeviceInfo;
  Info info;
  static constexpr Info::Text kOrder[] = {Info::kPath,          Info::kVendorIdText,
                                          Info::kProductIdText, Info::kSerialNumber,
                                          Info::kManufacturer,  Info::kProduct};
  for (Info::Text text : kOrder) {
    info.text_read[text] = ReadCP2112String(calls, index, text, info.texts[text]);
  }
  info.attributes_read = calls.GetAttributes(index, 0, 0, &info.vendor_id, &info.product_id,
                                             &info.release_number) == HID_SMBUS_SUCCESS;
  if (info.Has(Info::kSerialNumber) && info.Has(Info::kManufacturer) && info.Has(Info::kProduct) &&
      info.Get(Info::kSerialNumber) == info.Get(Info::kManufacturer) &&
      info.Get(Info::kSerialNumber) == info.Get(Info::kProduct)) {
    info.text_read[Info::kSerialNumber] = false;
    info.text_read[Info::kManufacturer] = false;
    info.text_read[Info::kProduct] = false;
  }
  return info;
}

}  // namespace kestrova
