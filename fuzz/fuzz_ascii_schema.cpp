// libFuzzer's entry for the text table schema reader (body in fuzz_ascii_schema.h).
#include "fuzz/fuzz_ascii_schema.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::asciiSchemaInput(data, size));
}
