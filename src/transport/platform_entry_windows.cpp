// The DLL's entry point: loading or unloading Tarnwick.dll, and threads
// starting or ending, bind and release nothing; every notification succeeds.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
