// leakcheck_tlsblock.cpp MODULE: exits with a thread-local block of a
// dlopen'd library lying 16 bytes past a 4 KiB boundary, the placement at
// which the leak checker, unless told to skip thread-local roots, scans from
// a bogus address and crashes at exit. Sanitizer builds only; the test is
// that this process exits with 0.
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

static void* chunks[4096];

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s MODULE\n", argv[0]);
        return 2;
    }
    void* module = dlopen(argv[1], RTLD_NOW);
    if (!module) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto pairAddress = reinterpret_cast<long* (*)()>(dlsym(module, "tlsPairAddress"));
    if (!pairAddress) {
        fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    // The allocator hands out chunks of one size in address order, 32 bytes
    // apart; the block (16 bytes) is the next one after the last of these.
    uintptr_t last = 0;
    for (size_t i = 0; i < sizeof chunks / sizeof chunks[0]; i++) {
        chunks[i] = malloc(2 * sizeof(long));
        last = reinterpret_cast<uintptr_t>(chunks[i]);
        if (last % 4096 == 4096 - 16) break;
    }
    uintptr_t block = reinterpret_cast<uintptr_t>(pairAddress());
    if (block % 4096 != 16) {
        fprintf(stderr, "the block landed at %#lx (last chunk %#lx), not 16 bytes past a page: "
                        "the allocator's order has changed, and this test proves nothing\n",
                static_cast<unsigned long>(block), static_cast<unsigned long>(last));
        return 3;
    }
    return 0;
}
