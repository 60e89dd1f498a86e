/* A module with one C function and nothing else, to compare loading costs. */
#ifdef _WIN32
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
int TrivialAnswer(void) { return 42; }
