// A module whose C++ runtime is linked in (an exception thrown and caught),
// to compare loading costs with our engines.
#include <stdexcept>

#ifdef _WIN32
#define MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

MODULE_EXPORT int TrivialAnswer(int value) {
    try {
        if (value < 0) throw std::invalid_argument("negative");
        return value;
    } catch (const std::exception&) {
        return 0;
    }
}
