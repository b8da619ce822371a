// The handle of this plug-in library, set when the library is loaded. The
// editor names its window class and finds its pictures through it.
#pragma once

namespace shell {

void* moduleHandle();

}  // namespace shell
