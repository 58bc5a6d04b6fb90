// Ends stb_warnings_off.h.
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
