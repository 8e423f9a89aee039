// libFuzzer's entry for the memo file reader (body in fuzz_memo.h).
#include "fuzz/fuzz_memo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::memoInput(data, size));
}
