// TFileVersionInfo: the version strings (company, product, versions, description...) of an
// executable file, read from the version block the build embeds in it.
#pragma once

#include <string>

#include "util/component.h"

namespace kestrova {

class TFileVersionInfo : public Component {
 public:
  // Reads the running program's own file.
  explicit TFileVersionInfo(Component* owner);

  const std::string& ExecutableFile() const { return executable_file_; }
  // Stores the path and reads that file's version block at once. A file without one (or not
  // readable, or not a program) leaves every other property empty.
  void SetExecutableFile(const std::string& path);

  const std::string& Comments() const { return comments_; }
  const std::string& CompanyName() const { return company_name_; }
  // The first translation: language and code page as eight upper-case hex digits.
  const std::string& CountryCode() const { return country_code_; }
  const std::string& FileDescription() const { return file_description_; }
  const std::string& FileVersion() const { return file_version_; }
  const std::string& InternalName() const { return internal_name_; }
  const std::string& LegalCopyright() const { return legal_copyright_; }
  const std::string& LegalTradeMarks() const { return legal_trade_marks_; }
  const std::string& OriginalFilename() const { return original_filename_; }
  const std::string& ProductName() const { return product_name_; }
  const std::string& ProductVersion() const { return product_version_; }

 private:
  void Read();

  std::string executable_file_;
  std::string comments_;
  std::string company_name_;
  std::string country_code_;
  std::string file_description_;
  std::string file_version_;
  std::string internal_name_;
  std::string legal_copyright_;
  std::string legal_trade_marks_;
  std::string original_filename_;
  std::string product_name_;
  std::string product_version_;
};

}  // namespace kestrova
