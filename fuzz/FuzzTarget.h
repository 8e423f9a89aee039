// What every fuzz target shares. A target's body is a function over one input
// in fuzz/<target>.h, so that the libFuzzer entry in fuzz/<target>.cpp and
// the engine tests that replay the inputs kept under tests/fixtures/fuzz/
// run the same code.
#pragma once

#include <QByteArray>

#include <cstdint>
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

// Inputs that carry a table and a companion file (memo, blob, index): two
// little-endian bytes give the table's length, the table follows, then the
// companion. Leaves the table in input and returns the companion.
inline QByteArray splitCompanion(QByteArray &input)
{
    if (input.size() < 2)
        return {};
    const int length = std::uint8_t(input[0]) | std::uint8_t(input[1]) << 8;
    QByteArray companion = input.mid(2 + length);
    input = input.mid(2, length);
    return companion;
}

} // namespace qvx::fuzz
