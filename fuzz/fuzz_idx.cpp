// libFuzzer's entry for the single index reader (body in fuzz_idx.h).
#include "fuzz/fuzz_idx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::idxInput(data, size));
}
