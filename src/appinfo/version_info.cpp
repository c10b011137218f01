#include "appinfo/version_info.h"

#include <utility>

#include "appinfo/elf_section.h"
#include "appinfo/version_block.h"
#include "util/ascii.h"
#include "util/hex.h"

namespace kestrova {
namespace {

// The first translation of "\VarFileInfo\Translation" in upper case, or "" when there is
// none or it is not eight hex digits.
std::string FirstTranslation(const VersionValues& values) {
  const auto translation = values.find("\\VarFileInfo\\Translation");
  if (translation == values.end()) return "";
  const std::string_view list = translation->second;
  const std::string_view first = list.substr(0, list.find(' '));
  if (first.size() != 8) return "";
  std::string code;
  for (const char c : first) {
    if (HexDigitValue(c, -1) < 0) return "";
    code.push_back(AsciiUpper(c));
  }
  return code;
}

}  // namespace

TFileVersionInfo::TFileVersionInfo(Component* owner) : Component(owner) {
  SetExecutableFile("/proc/self/exe");
}

void TFileVersionInfo::SetExecutableFile(const std::string& path) {
  executable_file_ = path;
  Read();
}

void TFileVersionInfo::Read() {
  std::pair<const char*, std::string*> entries[] = {
      {"CompanyName", &company_name_},           {"FileDescription", &file_description_},
      {"FileVersion", &file_version_},           {"InternalName", &internal_name_},
      {"LegalCopyright", &legal_copyright_},     {"LegalTradeMarks", &legal_trade_marks_},
      {"OriginalFilename", &original_filename_}, {"ProductName", &product_name_},
      {"ProductVersion", &product_version_},     {"Comments", &comments_},
  };
  for (auto& entry : entries) entry.second->clear();
  country_code_.clear();

  std::string block;
  VersionValues values;
  if (!ReadElfSection(executable_file_, kVersionSectionName, kMaxVersionBlockSize, block) ||
      !ParseVersionBlock(block, values)) {
    return;
  }
  const std::string code = FirstTranslation(values);
  if (code.empty()) return;
  country_code_ = code;
  const std::string prefix = "\\StringFileInfo\\" + code + "\\";
  for (auto& [name, property] : entries) {
    const auto found = values.find(prefix + name);
    if (found != values.end()) *property = found->second;
  }
}

}  // namespace kestrova
