# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread model: std::thread and
# std::mutex need it). VENDARO_WINDOWS_PREFIXES lists the cross-built dependencies' install folders.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VENDARO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VENDARO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VENDARO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VENDARO_MINGW}-windres)
set(CMAKE_AR ${VENDARO_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${VENDARO_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

if(DEFINED ENV{VENDARO_WINDOWS_PREFIXES})
    set(VENDARO_WINDOWS_PREFIXES "$ENV{VENDARO_WINDOWS_PREFIXES}" CACHE STRING "")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${VENDARO_MINGW} ${VENDARO_WINDOWS_PREFIXES})
set(CMAKE_PREFIX_PATH ${VENDARO_WINDOWS_PREFIXES})
# pkg-config reads only the Windows folders' .pc files, never the host's.
set(pc)
foreach(p ${VENDARO_WINDOWS_PREFIXES})
    list(APPEND pc ${p}/lib/pkgconfig)
endforeach()
string(REPLACE ";" ":" pc "${pc}")
set(ENV{PKG_CONFIG_LIBDIR} "${pc}")
set(ENV{PKG_CONFIG_PATH} "")

# Programs (moc, rcc, pkg-config) come from the host; headers, libraries and packages only from the
# Windows folders.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(DEFINED ENV{VENDARO_WINE})
    set(CMAKE_CROSSCOMPILING_EMULATOR $ENV{VENDARO_WINE})
endif()
