# velt_add_test(NAME SOURCES ... [LIBS ...] [DEPENDS ...] [DEFINITIONS ...]
#               [ENVIRONMENT ...] [OFFSCREEN] [OWN_MAIN])
# The one way a test program is built and registered with CTest: its sources,
# what it links (the test support always), the programs and modules its cases
# run (built before it), its compile definitions and the environment of its
# cases. OFFSCREEN runs Qt on the offscreen platform; OWN_MAIN keeps the
# program's own main() instead of GoogleTest's.
function(velt_add_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "OFFSCREEN;OWN_MAIN" "" "SOURCES;LIBS;DEPENDS;DEFINITIONS;ENVIRONMENT")
    if(arg_UNPARSED_ARGUMENTS OR NOT arg_SOURCES)
        message(FATAL_ERROR "velt_add_test(${name}): unknown arguments '${arg_UNPARSED_ARGUMENTS}' or no SOURCES")
    endif()
    add_executable(${name} ${arg_SOURCES})
    if(arg_OWN_MAIN)
        target_link_libraries(${name} PRIVATE ${arg_LIBS} velt_testing GTest::gtest)
    else()
        target_link_libraries(${name} PRIVATE ${arg_LIBS} velt_testing GTest::gtest_main)
    endif()
    if(arg_DEPENDS)
        add_dependencies(${name} ${arg_DEPENDS})
    endif()
    if(arg_DEFINITIONS)
        target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
    endif()
    set(environment ${arg_ENVIRONMENT})
    if(arg_OFFSCREEN)
        list(APPEND environment "QT_QPA_PLATFORM=offscreen")
    endif()
    if(environment)
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES PROPERTIES ENVIRONMENT "${environment}")
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES)
    endif()
endfunction()
