// libFuzzer's entry for the SQL dialect rewriter (body in fuzz_dialect.h).
#include "fuzz/fuzz_dialect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::dialectInput(data, size));
}
