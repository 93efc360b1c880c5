/* An empty DLL, built for the other bitness than the programs under test: a QUPRA.dll they
   cannot load. */
int EmptyDllMarker(void) { return 0; }
