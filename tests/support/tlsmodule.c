/* tlsmodule.c: a library with a thread-local block of its own, for
 * leakcheck_tlsblock.cpp. Loaded with dlopen, so the C library makes its
 * block on the heap at the first access, as it does for the GL driver. */
_Thread_local long tlsPair[2];

long* tlsPairAddress(void) { return tlsPair; }
