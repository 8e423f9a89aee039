// libFuzzer's entry for the text table data reader (body in fuzz_ascii_data.h).
#include "fuzz/fuzz_ascii_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::asciiDataInput(data, size));
}
