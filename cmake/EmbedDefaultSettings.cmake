# Joins the default settings pieces into one UTF-8 file with byte-order mark and CR LF line ends
# and writes it as a C++ byte array. Called with -DOUT=<file.cpp> -DPIECES=<list of .ini files>.
set(text "")
foreach(piece IN LISTS PIECES)
  file(READ ${piece} part)
  string(APPEND text "${part}")
endforeach()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
get_filename_component(outdir ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${outdir})
file(WRITE ${OUT}.raw "${text}")
file(READ ${OUT}.raw hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR bytes "${hexlen} / 2 + 3")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" body "${body}")
file(WRITE ${OUT} "// Generated from config/default: the built-in default settings file.\n"
  "#include <cstddef>\n"
  "namespace velmoro {\n"
  "extern const unsigned char kDefaultSettingsData[];\n"
  "extern const std::size_t kDefaultSettingsSize;\n"
  "const unsigned char kDefaultSettingsData[] = {0xef,0xbb,0xbf,\n${body}0};\n"
  "const std::size_t kDefaultSettingsSize = ${bytes};\n"
  "}\n")
file(REMOVE ${OUT}.raw)
