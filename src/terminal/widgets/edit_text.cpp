#include "terminal/widgets/edit_text.h"

#include "terminal/byte_text.h"

namespace kestrova {

QString ToEditText(std::string_view bytes) {
  const std::u16string text = BytesToEditText(bytes);
  // Copied unit by unit: QString::fromUtf16 would drop a leading byte order mark.
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::string FromEditText(const QString& text) {
  return EditTextToBytes(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                             static_cast<size_t>(text.size())));
}

}  // namespace kestrova
