/* A DLL that only carries a version resource (or none): test data for the
   file facts and the update decision. */
#include <windows.h>

__declspec(dllexport) int DpTestData(void) { return 1; }
