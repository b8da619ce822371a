// The library's start routine: keeps the handle of the loaded library.
#include "shell/module_handle.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace shell {
namespace {

void* loadedModule = nullptr;

}  // namespace

void* moduleHandle() { return loadedModule; }

}  // namespace shell

#if defined(_WIN32)
// The platform's per-library entry, called on every load and thread
// notification with the library's instance handle.
extern "C" __attribute__((stdcall)) int DllMain(void* instance, unsigned long, void*) {
    shell::loadedModule = instance;
    return 1;
}
#else
// Runs when the library is loaded; the base address identifies the library.
__attribute__((constructor)) static void libraryStart() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryStart), &info) != 0) shell::loadedModule = info.dli_fbase;
}
#endif
