// libFuzzer's entry for the XML data packet reader (body in fuzz_xml_packet.h).
#include "fuzz/fuzz_xml_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return qvx::fuzz::stopOnFault(qvx::fuzz::xmlPacketInput(data, size));
}
