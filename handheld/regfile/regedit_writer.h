// Writing registry files that Windows' registry editor and `reg import` read back exactly.
#pragma once

#include <string>

namespace emul {
class Registry;
}

namespace handheld {

// REGEDIT4: UTF-8 text, LF line ends, text in hex form in the device's ANSI code page.
// Version 5.00: what Windows' editor writes, UTF-16 with its byte-order mark, CR LF line ends,
// text in hex form as UTF-16.
enum class RegFileFormat { regedit4, v5 };

// A key and everything below it ("" for the whole hive) in `format`, appended to `out`. False,
// naming the value, when REGEDIT4 cannot carry one exactly (text outside the ANSI code page, or
// without its terminating null): version 5.00 carries every value.
bool writeRegFile(emul::Registry &reg, const std::u16string &key, RegFileFormat format,
                  std::string *out, std::string *error);

} // namespace handheld
