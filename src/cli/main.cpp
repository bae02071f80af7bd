#include "cli/ExtractCommand.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // A run allocates and frees image buffers over and over. Mapped afresh
    // for each, or handed back to the system when freed, their memory costs
    // a page fault per page every time; kept in the heap it is reused. A
    // short-lived command can afford to keep it. The mapping threshold is
    // the largest the allocator takes: a lower one maps every buffer above
    // it anew, as setting it stops the allocator from raising it.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
    return talvore::RunExtractCommand(argc, argv);
}
