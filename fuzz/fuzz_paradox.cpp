// libFuzzer's entry for the Paradox reader and writer (body in fuzz_paradox.h).
#include "fuzz/fuzz_paradox.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::paradoxInput(data, size));
}
