// Feeds arbitrary text to the world file loader.
#include "virtualhw/World.h"
#include "virtualhw/WorldFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    vhw::World world;
    std::string error;
    if (!vhw::parseWorld(text, "fuzz", world, &error)) {
        if (error.rfind("fuzz:", 0) != 0)
            abort(); // every refusal names the source and a line
        return 0;
    }
    for (const auto &s : world.systems)
        if (s->argument.size() >= 80 || s->slots.size() != size_t(s->slotCount))
            abort();
    return 0;
}
