// The platform the plug-in was built for, as "get.info" reports it: "win" in
// the Windows build, "mac" everywhere else (the host's platform of record; the
// Linux build exists for development against the fake host).
#pragma once
#if defined(_WIN32)
#define KEM_PLATFORM_NAME "win"
#else
#define KEM_PLATFORM_NAME "mac"
#endif
