// libFuzzer's entry for the index key expression parser and evaluator (body
// in fuzz_keyexpr.h).
#include "fuzz/fuzz_keyexpr.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::keyExprInput(data, size));
}
