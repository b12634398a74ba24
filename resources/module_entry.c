/* Entry point of the resource-only language module.  The program loads the
   module as a data file, so this never runs; it keeps the C runtime out. */
int __stdcall ModuleEntry(void* module, unsigned long reason, void* reserved) {
    (void)module;
    (void)reason;
    (void)reserved;
    return 1;
}
