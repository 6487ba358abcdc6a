// Loads like any library but offers neither getModuleProperties nor makeModule.
extern "C" __attribute__((visibility("default"))) int notAModule() { return 0; }
