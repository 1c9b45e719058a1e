#pragma once
// Shared by the fuzz entry points: a broken promise of the code under test
// is a finding, reported the same way a crash is so libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#define FUZZ_REQUIRE(cond)                                                                         \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #cond);        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
