// The .ntx reader on arbitrary bytes, with the round trip of fuzz_ndx.h.
// Input: a kind byte (the key type the caller gives, as in fuzz_ndx.h), then
// the index file.
#pragma once

#include "fuzz/fuzz_ndx.h"

#include "engine/index/Ntx.h"

namespace qvx::fuzz {

inline Fault ntxInput(const std::uint8_t *data, std::size_t size)
{
    return indexInput(data, size, index::readNtx, index::writeNtx, "fuzz.ntx", true);
}

} // namespace qvx::fuzz
