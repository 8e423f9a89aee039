// What every fuzz target shares. A target's body is a function over one input
// in fuzz/<target>.h, so that the libFuzzer entry in fuzz/<target>.cpp and
// the engine tests that replay the inputs kept under tests/fixtures/fuzz/
// run the same code.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace qvx::fuzz {

// What a body returns: null when the reader coped with the input, else the
// promise the input broke (a round trip that came back different, ...). A
// crash, a hang or a sanitizer report needs no word from the body.
using Fault = const char *;

// The libFuzzer entry's verdict on a body's result: a broken promise stops
// the fuzzer the way a crash does, so that it keeps the input.
inline int stopOnFault(Fault fault)
{
    if (fault) {
        std::fprintf(stderr, "fuzz target: %s\n", fault);
        std::abort();
    }
    return 0;
}

} // namespace qvx::fuzz
