// Writes a hive as a registry file: this program's own hives as "REGEDIT4" text, and exports
// for a registry editor as "Windows Registry Editor Version 5.00". Every key in tree order, its
// values in their order, each value in the form that reads back exactly.
#pragma once

#include <string>

#include "platform/reg_hive.h"

namespace kestrova {

// "REGEDIT4" whose 8-bit text is UTF-8, lines ending in LF. Texts (REG_SZ) are quoted with \\,
// \", \n, \r and \0 escaped; a DWORD of four bytes is dword:; everything else is hex(n): with
// the bytes as stored (an expand-string gets its NUL terminator back), wrapped at 80 columns.
std::string FormatRegText(const RegHive& hive);

// A registry editor's own export format: "Windows Registry Editor Version 5.00" in UTF-16 LE
// with a byte-order mark and CR LF line ends. Expand-strings and multi-strings are hex(2): and
// hex(7): in UTF-16, and a text holding a line break or a NUL, which an editor cannot read in
// quotes, is hex(1):. UTF-16 cannot carry text that is not valid UTF-8 (8-bit text taken from
// a REGEDIT4 file); such a hive is written as FormatRegText() does, which keeps its bytes.
std::string FormatRegExport(const RegHive& hive);

}  // namespace kestrova
