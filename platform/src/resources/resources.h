// The resources a module carries: the compiled resource script (.res format) that the build
// embeds as CeModuleResources, looked up by type, name and language.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace emul {

// One resource of a module. Types and names are either an ordinal or a string.
struct ResourceEntry {
    bool typeIsId = true, nameIsId = true;
    uint16_t typeId = 0, nameId = 0;
    std::u16string typeName, nameName;
    uint16_t language = 0;
    const uint8_t *data = nullptr;
    uint32_t size = 0;
};

// The resource of that type and name in the module (null: the calling program's); null when
// there is none, with the platform's error set.
const ResourceEntry *findResource(HMODULE module, LPCWSTR name, LPCWSTR type);
// The first resource of that type in the module's directory order (names before ordinals,
// each in ascending order), as the shell takes a program's icon; null when there is none.
const ResourceEntry *firstResource(HMODULE module, LPCWSTR type);

} // namespace emul
