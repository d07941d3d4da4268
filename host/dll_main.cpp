// The Windows load and unload notifications of brindlework.dll.
//
// The module's constant tables are ordinary static objects: the runtime's DLL
// start-up code constructs them before it calls DllMain with process attach,
// and destroys them after DllMain has seen process detach, so they exist
// before the host's first request and are gone after its last.  DllMain
// itself therefore has nothing to do but answer: success for process attach
// and detach, 0 for thread attach and detach (the module starts no threads and
// keeps no per-thread state).  Other platforms run the same static
// construction and destruction from their own loader and need no file here.
#ifdef _WIN32

#include <windows.h>

namespace {

// What DllMain answers for each notification the loader sends.
struct LoadAnswer {
  DWORD reason;
  BOOL answer;
};

constexpr LoadAnswer kLoadAnswers[] = {
    {DLL_PROCESS_ATTACH, TRUE},
    {DLL_PROCESS_DETACH, TRUE},
    {DLL_THREAD_ATTACH, 0},
    {DLL_THREAD_DETACH, 0},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  for (const LoadAnswer& row : kLoadAnswers) {
    if (row.reason == reason) return row.answer;
  }
  return 0;
}

#endif  // _WIN32
