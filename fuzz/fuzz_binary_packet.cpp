// libFuzzer's entry for the binary data packet reader (body in fuzz_binary_packet.h).
#include "fuzz/fuzz_binary_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::binaryPacketInput(data, size));
}
