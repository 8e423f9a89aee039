// libFuzzer's entry for the configuration reader (body in fuzz_config.h).
#include "fuzz/fuzz_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::configInput(data, size));
}
