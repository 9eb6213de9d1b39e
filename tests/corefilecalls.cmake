# Fails when a source of the contact core calls the system's files other than through
# its file layers: the POSIX calls only in PosixFileSystem.cpp, the Win32 calls only
# in WindowsFileSystem.cpp. Every file operation must go through FileSystem, or the
# fault and crash tests would not reach it.
file(GLOB sources "${CORE_DIR}/*.cpp" "${CORE_DIR}/*.h")
set(posix_pattern "(fopen|freopen|[io]?fstream|FILE \\*|(^|[^A-Za-z0-9_>])::(open|openat|read|pread|write|pwrite|close|rename|unlink|fsync|ftruncate|flock|stat|fstat|chmod)\\(|std::filesystem::(remove|rename|copy|create_directory|resize_file|file_size|exists)|#include <(fcntl|unistd|cstdio|fstream)\\.?h?>)")
# With or without ::, in their A, W and Ex forms, and the C runtime's wide calls.
set(win32_pattern "((^|[^A-Za-z0-9_])(CreateFile|ReadFile|WriteFile|MoveFile|ReplaceFile|CopyFile|DeleteFile|FlushFileBuffers|LockFile|UnlockFile|GetFileSize|SetFilePointer|SetEndOfFile|GetFileAttributes|SetFileAttributes|GetFileInformationByHandle|SetFileInformationByHandle|FindFirstFile|CreateDirectory|RemoveDirectory)(A|W|Ex|ExA|ExW|2)?[ ]*\\(|_w?fopen|_w?open\\(|_wrename|_wremove|_wunlink|#include <(windows|fileapi|io)\\.h>)")
set(offenders "")
foreach(source IN LISTS sources)
    get_filename_component(name "${source}" NAME)
    set(patterns "")
    if(NOT name STREQUAL "PosixFileSystem.cpp")
        list(APPEND patterns "${posix_pattern}")
    endif()
    if(NOT name STREQUAL "WindowsFileSystem.cpp")
        list(APPEND patterns "${win32_pattern}")
    endif()
    foreach(pattern IN LISTS patterns)
        file(STRINGS "${source}" lines REGEX "${pattern}")
        if(lines)
            list(APPEND offenders "${name}: ${lines}")
        endif()
    endforeach()
endforeach()
if(offenders)
    message(FATAL_ERROR "file calls outside the file layers (PosixFileSystem.cpp, WindowsFileSystem.cpp):\n${offenders}")
endif()
message(STATUS "only PosixFileSystem.cpp calls the POSIX files and only WindowsFileSystem.cpp the Win32 files")
