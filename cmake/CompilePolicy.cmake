# One target carries the project's compile policy; every target of ours links it.
add_library(vendaro_policy INTERFACE)
target_compile_features(vendaro_policy INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_definitions(vendaro_policy INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_KEYWORDS
    QT_DISABLE_DEPRECATED_BEFORE=0x060000
    VENDARO_VERSION="${PROJECT_VERSION}"
    VENDARO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    VENDARO_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    VENDARO_VERSION_PATCH=${PROJECT_VERSION_PATCH})
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(vendaro_policy INTERFACE
        -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wshadow=local)
    if(VENDARO_WERROR)
        target_compile_options(vendaro_policy INTERFACE -Werror)
    endif()
elseif(MSVC)
    target_compile_options(vendaro_policy INTERFACE /W4 /utf-8)
    if(VENDARO_WERROR)
        target_compile_options(vendaro_policy INTERFACE /WX)
    endif()
endif()
