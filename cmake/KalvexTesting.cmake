# kalvex_add_test: the one way a test executable is made and registered with ctest.
#
#   kalvex_add_test(NAME target
#                   SOURCES file...
#                   [LIBRARIES target...]    linked privately (GTest::gtest_main, or gtest
#                                            and a main of its own)
#                   [DEPENDS target...]      built first (e.g. a program the tests run)
#                   [LABELS label...]        ctest -L label runs just these
#                   [ENVIRONMENT VAR=value...])
#
# Every test case is found with gtest_discover_tests after the build. The sanitizer
# settings the build needs are added to the environment here, so no caller forgets them.
include_guard(GLOBAL)
include(GoogleTest)

function(kalvex_add_test)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "NAME" "SOURCES;LIBRARIES;DEPENDS;LABELS;ENVIRONMENT")
    if(NOT ARG_NAME OR NOT ARG_SOURCES)
        message(FATAL_ERROR "kalvex_add_test needs NAME and SOURCES")
    endif()
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "kalvex_add_test(${ARG_NAME}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()

    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES})
    if(ARG_DEPENDS)
        add_dependencies(${ARG_NAME} ${ARG_DEPENDS})
    endif()

    set(environment ${ARG_ENVIRONMENT})
    if(KALVEX_SANITIZE)
        list(APPEND environment "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0")
    endif()
    if(KALVEX_TSAN)
        list(APPEND environment "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")
    endif()

    gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 TEST_LIST ${ARG_NAME}_TESTS)

    # gtest_discover_tests flattens list-valued PROPERTIES (two variables would become a
    # property name and a value), so the labels and the environment are set by a script of
    # our own that ctest reads after the list of discovered tests.
    set(properties "")
    if(ARG_LABELS)
        string(APPEND properties " LABELS [==[${ARG_LABELS}]==]")
    endif()
    if(environment)
        string(APPEND properties " ENVIRONMENT [==[${environment}]==]")
    endif()
    if(properties)
        set(script "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}_properties.cmake")
        file(WRITE "${script}"
            "if(${ARG_NAME}_TESTS)\n"
            "  set_tests_properties(\${${ARG_NAME}_TESTS} PROPERTIES${properties})\n"
            "endif()\n")
        set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
    endif()
endfunction()
