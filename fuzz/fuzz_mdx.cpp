// libFuzzer's entry for the .mdx index reader (body in fuzz_mdx.h).
#include "fuzz/fuzz_mdx.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::mdxInput(data, size));
}
