// The send line's bytes as editable text and back, without loss: valid UTF-8 shows as its
// characters, any other byte as a lone surrogate U+DC80..U+DCFF that reads back as that byte.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

std::u16string BytesToEditText(std::string_view bytes);

// Characters become UTF-8; a lone surrogate that does not stand for a byte becomes U+FFFD.
std::string EditTextToBytes(std::u16string_view text);

// Removes the last character (a whole UTF-8 sequence, or one byte that is not part of one).
void RemoveLastCharacter(std::string& bytes);

}  // namespace kestrova
