// A library that looks like a plug-in but lacks request: saori_host must refuse to drive it.
#ifdef _WIN32
#define STUB_EXPORT __declspec(dllexport)
#else
#define STUB_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
STUB_EXPORT int load(void*, long) {
  return 1;
}
STUB_EXPORT int unload() {
  return 1;
}
}
