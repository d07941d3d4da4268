// dlopen, dlsym, dlclose and dlerror for the Win32 console builds of the tests.
//
// The shared test host loads the module as a Linux page engine would, through
// <dlfcn.h>.  A Windows host loads brindlework.dll with LoadLibrary and finds
// ProcessQELRequest with GetProcAddress; this header maps the first onto the
// second so that the same host code loads the DLL under Windows (or wine)
// unchanged.  Only the calls the tests make are provided; the flags are
// accepted and ignored because LoadLibrary always resolves every import at
// load time.  Paths may use '/' (Windows accepts it as a separator); a path
// that starts with '/' is a path on the current drive, which under wine is
// the drive that maps the Unix root when the program runs from a Unix
// directory.
#ifndef BRINDLEWORK_TESTS_WIN32_DLFCN_H
#define BRINDLEWORK_TESTS_WIN32_DLFCN_H

#ifndef _WIN32
#error "tests/win32/dlfcn.h is for Windows builds only"
#endif

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#define RTLD_LAZY 0x1
#define RTLD_NOW 0x2
#define RTLD_LOCAL 0x0
#define RTLD_GLOBAL 0x100

namespace bw::test::win32 {

// The text dlerror returns: empty until a call fails, cleared once read.
inline char* lastLoadError() {
  static char message[512];
  return message;
}

inline void rememberLoadError(const char* what) {
  DWORD code = GetLastError();
  char* out = lastLoadError();
  int used = wsprintfA(out, "%s failed (error %lu): ", what, static_cast<unsigned long>(code));
  DWORD room = static_cast<DWORD>(512 - used);
  DWORD written = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, out + used, room, nullptr);
  // FormatMessage ends its text with a line break; the caller adds its own.
  while (written > 0 && (out[used + written - 1] == '\n' || out[used + written - 1] == '\r')) {
    out[used + --written] = '\0';
  }
}

}  // namespace bw::test::win32

inline void* dlopen(const char* path, int) {
  HMODULE module = LoadLibraryA(path);
  if (module == nullptr) bw::test::win32::rememberLoadError("LoadLibrary");
  return reinterpret_cast<void*>(module);
}

inline void* dlsym(void* library, const char* name) {
  FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), name);
  if (entry == nullptr) bw::test::win32::rememberLoadError("GetProcAddress");
  return reinterpret_cast<void*>(entry);
}

inline int dlclose(void* library) {
  if (FreeLibrary(static_cast<HMODULE>(library))) return 0;
  bw::test::win32::rememberLoadError("FreeLibrary");
  return -1;
}

inline char* dlerror() {
  char* message = bw::test::win32::lastLoadError();
  if (message[0] == '\0') return nullptr;
  static char reported[512];
  lstrcpynA(reported, message, sizeof reported);
  message[0] = '\0';
  return reported;
}

#endif
