// The name a tool was started as, for its usage line: installed, the tools
// are szablon-asset-info and szablon-make-demo-assets, not the build's names.
#pragma once

#include <string>

inline std::string program_name(const char* argv0, const char* fallback)
{
    if (argv0 == nullptr || *argv0 == '\0')
        return fallback;
    const std::string path = argv0;
#ifdef _WIN32
    return path.substr(path.find_last_of("/\\") + 1);
#else
    return path.substr(path.find_last_of('/') + 1);
#endif
}
