#include "FuzzEntries.h"

#include <cstdio>
#include <cstdlib>

namespace velkan::fuzz {

int runCheck(Check check, const std::uint8_t *data, std::size_t size)
{
    const std::string broken = check(std::string_view(reinterpret_cast<const char *>(data), size));
    if (!broken.empty()) {
        std::fprintf(stderr, "broken promise: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

} // namespace velkan::fuzz
