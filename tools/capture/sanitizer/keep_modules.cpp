// Sanitizer builds only: shared libraries are never unloaded, so that the
// leak report at exit can still name the graphics drivers' own allocations
// (and the suppressions for them apply) instead of "unknown module".
extern "C" int dlclose(void*)
{
    return 0;
}
