# One set of warnings for every target, whichever compiler builds it (g++, clang++,
# MinGW's g++ all take these flags). With VORTEDA_WERROR they stop the build, as
# scripts/test's builds do; a build of your own keeps going past them by default.
option(VORTEDA_WERROR "Treat compiler warnings as errors" OFF)

# C++ only: the Windows resource compiler shares the compile options and knows none.
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-Wall;-Wextra;-Wpedantic;-Wshadow>")

# GCC 12 warns falsely on "R" + std::to_string(i) when optimising (its bug 105329,
# fixed in GCC 13); Debian's g++ and MinGW g++ are both 12.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>")
endif()

if(VORTEDA_WERROR)
    # Sets COMPILE_WARNING_AS_ERROR on each target: -Werror for the compilers that have it.
    set(CMAKE_COMPILE_WARNING_AS_ERROR ON)
endif()

# The stricter conversions for the Qt-free code that handles bytes and sizes: the
# contact core, the platform layer, the wording and the command.
function(vorteda_conversion_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wconversion -Wsign-conversion)
    endif()
endfunction()
