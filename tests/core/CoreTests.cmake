# The Qt-free tests of the contact core, vorteda-contactos and the About window's launcher, written once with doctest (Debian's doctest-dev):
# tests/ builds them natively, tests/windows in the cross build, where they run under
# Wine. Also the support both folders' tests link: a file system that fails the Nth call,
# and one that forgets at a power cut what was never synced.

add_library(vorteda_testsupport STATIC
    ${CMAKE_CURRENT_LIST_DIR}/../FaultyFileSystem.cpp ${CMAKE_CURRENT_LIST_DIR}/../FaultyFileSystem.h
    ${CMAKE_CURRENT_LIST_DIR}/../PowerCutFileSystem.cpp ${CMAKE_CURRENT_LIST_DIR}/../PowerCutFileSystem.h)
target_include_directories(vorteda_testsupport PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vorteda_testsupport PUBLIC vorteda_contacts vorteda_platform)

# doctest is one header; a copy of it in the build tree lets the cross build see it
# without the rest of the host's /usr/include.
find_file(VORTEDA_DOCTEST_HEADER doctest/doctest.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
configure_file(${VORTEDA_DOCTEST_HEADER} ${CMAKE_CURRENT_BINARY_DIR}/doctest/include/doctest/doctest.h COPYONLY)
add_library(vorteda_doctest_main OBJECT ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_include_directories(vorteda_doctest_main SYSTEM PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/doctest/include)

# vorteda_add_core_tests(ENVIRONMENT VAR=VALUE... LABELS...)
function(vorteda_add_core_tests)
    cmake_parse_arguments(ARG "" "" "ENVIRONMENT;LABELS" ${ARGN})
    foreach(name IN ITEMS codec sort contactfile faultsweep powercut exchange sysinfo)
        set(target tst_core_${name})
        add_executable(${target} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${target}.cpp)
        target_link_libraries(${target} PRIVATE vorteda_doctest_main vorteda_testsupport vorteda_exchange)
        add_test(NAME ${target} COMMAND ${target})
        set_tests_properties(${target} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}" TIMEOUT 600)
        if(ARG_LABELS)
            set_tests_properties(${target} PROPERTIES LABELS "${ARG_LABELS}")
        endif()
    endforeach()
endfunction()

# vorteda_report_skips(): marks each test of the calling folder skipped in CTest when
# it skipped a case (a Qt Test QSKIP, a doctest skip) and failed none, rather than
# let it pass for what it never ran.
function(vorteda_report_skips)
    get_directory_property(tests TESTS)
    foreach(test IN LISTS tests)
        set_tests_properties(${test} PROPERTIES SKIP_REGULAR_EXPRESSION
            "Totals: [0-9]+ passed, 0 failed, [1-9][0-9]* skipped|test cases:[ 0-9|]+passed [|] +0 failed [|] +[1-9][0-9]* skipped")
    endforeach()
endfunction()
