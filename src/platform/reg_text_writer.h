// Writes a hive as a "REGEDIT4" registry file whose 8-bit text is UTF-8: every key in tree
// order, its values in their order, each value in the form that reads back exactly.
#pragma once

#include <string>

#include "platform/reg_hive.h"

namespace kestrova {

// Texts (REG_SZ) are quoted with \\, \", \n, \r and \0 escaped; a DWORD of four bytes is
// dword:; everything else is hex(n): with the bytes as stored (an expand-string gets its NUL
// terminator back), wrapped at 80 columns.
std::string FormatRegText(const RegHive& hive);

}  // namespace kestrova
