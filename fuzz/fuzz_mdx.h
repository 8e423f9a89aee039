// The .mdx reader on arbitrary bytes, with the round trip of fuzz_ndx.h.
// Input: a kind byte (unused: the file names its key types), then the index
// file.
#pragma once

#include "fuzz/fuzz_ndx.h"

#include "engine/index/Mdx.h"

namespace qvx::fuzz {

inline Fault mdxInput(const std::uint8_t *data, std::size_t size)
{
    return indexInput(data, size, index::readMdx, index::writeMdx, "fuzz.mdx", true);
}

} // namespace qvx::fuzz
