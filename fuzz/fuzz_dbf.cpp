// libFuzzer's entry for the dbf reader and writer (body in fuzz_dbf.h).
#include "fuzz/fuzz_dbf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::dbfInput(data, size));
}
