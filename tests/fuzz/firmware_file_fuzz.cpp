// Firmware file headers as they come from disk: any bytes, any length, with
// module names partly taken from the input so that every form's name check
// can pass.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/firmware_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kalix::app;
    const std::span<const std::uint8_t> input(data, size);

    std::vector<RecorderModule> modules;
    if (size > 0) {
        // The first byte picks the name list's length; names come from the
        // places the three forms read them.
        const std::size_t count = data[0] % (kFirmwareModules + 1);
        auto textAt = [&](std::size_t at, std::size_t length) {
            std::string s;
            for (std::size_t i = at; i < size && i < at + length && data[i] != 0; ++i) s += static_cast<char>(data[i]);
            return s;
        };
        for (std::size_t i = 0; i < count; ++i) {
            std::string name;
            switch (i % 4) {
            case 0: name = textAt(68, 10); break;
            case 1: name = textAt(4, 11); break;
            case 2: name = textAt(32, 32); break;
            default: name = "MODULE" + std::to_string(i); break;
            }
            modules.push_back({name, static_cast<std::uint32_t>(i * 977)});
        }
    }
    const FirmwareCheck check = checkFirmwareHeader(input, modules);
    if (const auto* header = std::get_if<FirmwareHeader>(&check)) {
        if (header->module >= kFirmwareModules || header->module >= modules.size()) __builtin_trap();
    }
    if (size > 0) (void)firmwareDateStamp(input, data[0]);
    return 0;
}
