// libFuzzer's entry for the .ndx index reader (body in fuzz_ndx.h).
#include "fuzz/fuzz_ndx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::ndxInput(data, size));
}
