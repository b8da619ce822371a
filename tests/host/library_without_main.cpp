// A shared library that is no plug-in: it exports no `main`.
extern "C" __attribute__((visibility("default"))) int notAPluginEntry() { return 42; }
