# Turns a compiled .res file into a C++ source that gives the module its resources:
# CeModuleResources (the bytes) and CeModuleResourcesSize, which the platform looks up by name.
# Run as: cmake -DIN=file.res -DOUT=file.cpp -P this.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" len)
math(EXPR size "${len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT}.tmp "// Generated from ${IN}.\n"
  "extern \"C\" __attribute__((visibility(\"default\"))) const unsigned char CeModuleResources[${size} + 1] = {\n"
  "${bytes}0};\n"
  "extern \"C\" __attribute__((visibility(\"default\"))) const unsigned int CeModuleResourcesSize = ${size};\n")
configure_file(${OUT}.tmp ${OUT} COPYONLY)
file(REMOVE ${OUT}.tmp)
