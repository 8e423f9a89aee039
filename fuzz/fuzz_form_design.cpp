// libFuzzer's entry for the form design reader (body in fuzz_form_design.h).
#include "fuzz/fuzz_form_design.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::formDesignInput(data, size));
}
