// libFuzzer's entry for the compound index reader (body in fuzz_cdx.h).
#include "fuzz/fuzz_cdx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::cdxInput(data, size));
}
