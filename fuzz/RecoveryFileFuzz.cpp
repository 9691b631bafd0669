// libFuzzer target; the checks live in entries/ so the replay test shares them.
#include "entries/FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return velkan::fuzz::runCheck(velkan::fuzz::checkRecoveryFile, data, size);
}
