// The process's first instructions, before the C++ runtime starts: DLLs come from the system
// folder only.
//
// The program runs with administrator rights and may be started from a download folder (the
// portable zip). Windows loads a known DLL (kernel32, user32, shell32...) only from its own
// folder, but looks for any other DLL beside the program first. Three layers keep a DLL planted
// there out:
//   1. The exe imports known DLLs only (and comctl32, which the manifest binds to the
//      system's side-by-side copy); a test reads the import table.
//   2. The load configuration below tells the loader to resolve the imports of the program's
//      dependents from the system folder only (the dependent-load flag; Windows 10 1607 and
//      later read it).
//   3. The entry point restricts the search of every later LoadLibrary, the system's own DLLs'
//      included, to the system folder before anything else runs.
#include <windows.h>

extern "C" {

// The loader finds this structure through the image's load-configuration directory, which the
// linker points at the symbol of this name. MinGW's header still calls the dependent-load flags
// field `Reserved1` (a WORD at offset 78).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers" // every other field stays 0
__attribute__((used)) extern constinit const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = {
    .Size = sizeof(IMAGE_LOAD_CONFIG_DIRECTORY64),
    .Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32,
};
#pragma GCC diagnostic pop

// MinGW's runtime start-up for a GUI program (with -municode it calls wWinMain).
int WinMainCRTStartup(void);

// The image's entry point (see the link options): the search is restricted first, then the
// runtime starts and calls wWinMain.
int SnapkeepStartup(void) {
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return WinMainCRTStartup();
}

} // extern "C"
