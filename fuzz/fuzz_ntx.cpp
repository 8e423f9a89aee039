// libFuzzer's entry for the .ntx index reader (body in fuzz_ntx.h).
#include "fuzz/fuzz_ntx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::ntxInput(data, size));
}
