// Leaks on purpose: the sanitizer build must report it, or leaks elsewhere could
// pass unseen.
#include <cstdio>

int *volatile g_kept;

int main()
{
    g_kept = new int[7];
    g_kept = nullptr;
    std::puts("leaked 28 bytes");
    return 0;
}
