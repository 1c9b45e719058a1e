/* Linked into every executable of the sanitized build only. Libraries that a
 * process loads at run time (Qt plugins, scanner backends) stay loaded to the
 * end, so LeakSanitizer can still name the library of each block it reports
 * and tests/lsan.supp can match it; unloaded, its frames have no name. */
int dlclose(void *handle)
{
    (void)handle;
    return 0;
}
