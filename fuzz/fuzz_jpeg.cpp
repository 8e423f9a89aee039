// libFuzzer's entry for the JPEG decoder (body in fuzz_jpeg.h).
#include "fuzz/fuzz_jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::jpegInput(data, size));
}
