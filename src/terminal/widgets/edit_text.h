// The send line's bytes as a QString and back, without loss (see terminal/byte_text.h).
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kestrova {

QString ToEditText(std::string_view bytes);
std::string FromEditText(const QString& text);

}  // namespace kestrova
