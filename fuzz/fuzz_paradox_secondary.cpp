// libFuzzer's entry for the Paradox secondary index reader (body in
// fuzz_paradox_secondary.h).
#include "fuzz/fuzz_paradox_secondary.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::paradoxSecondaryInput(data, size));
}
