// The darkness table reader on arbitrary bytes: no crash, no read past a buffer, whatever the
// file holds.
#include "common/Log.h"
#include "palette/CharacterTable.h"

#include <cstdint>
#include <cstdio>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (gw::setLogSink([](std::string_view) {}), true);
    (void)quiet;
    if (size == 0) return 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
        fmemopen(const_cast<std::uint8_t*>(data), size, "r"), &std::fclose);
    if (!stream) return 0;
    static gw::CharacterTable table;
    gw::loadCharacterTable(stream.get(), table);
    for (int c = -128; c < 128; ++c) {
        const int index = gw::getChar(table, static_cast<char>(c));
        if (index < -1 || index >= gw::kTableEntries) __builtin_trap();
    }
    return 0;
}
