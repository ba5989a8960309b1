# add_dosetta_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>])
# One QtTest executable per area, registered with CTest. Every test runs headless with its
# own settings and state directories, so no test reads or writes the user's settings or journal.
function(add_dosetta_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    dosetta_links_module(window Qt5::Widgets ${ARG_LIBS})
    dosetta_links_module(network Qt5::Network ${ARG_LIBS})
    # A test with both would need a set of its own; it compiles without one.
    if(window AND network)
    elseif(window)
        dosetta_pch(windowtest ${name})
    elseif(network)
        dosetta_pch(networktest ${name})
    else()
        dosetta_pch(test ${name})
    endif()
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 240)
    endif()
    # Instrumented code runs about twice as slow.
    if(DOSETTA_SANITIZE OR DOSETTA_FUZZING)
        math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * 2")
    endif()
    set(cfg ${CMAKE_CURRENT_BINARY_DIR}/${name}-config)
    file(MAKE_DIRECTORY ${cfg}/run)
    file(CHMOD ${cfg}/run DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    # A skipped case counts as failed: QtTest's line names the cause.
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        FAIL_REGULAR_EXPRESSION "SKIP   : "
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${cfg};XDG_RUNTIME_DIR=${cfg}/run;XDG_STATE_HOME=${cfg}/state;DOSETTA_PORTS=")
endfunction()

# dosetta_test_again(<name> <suffix> <VAR=value>...)
# The test <name> once more as <name>_<suffix>, with settings of its own and extra environment.
function(dosetta_test_again name suffix)
    set(again ${name}_${suffix})
    add_test(NAME ${again} COMMAND ${name})
    set(cfg ${CMAKE_CURRENT_BINARY_DIR}/${again}-config)
    file(MAKE_DIRECTORY ${cfg}/run)
    file(CHMOD ${cfg}/run DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    get_test_property(${name} TIMEOUT timeout)
    set_tests_properties(${again} PROPERTIES
        TIMEOUT ${timeout}
        FAIL_REGULAR_EXPRESSION "SKIP   : "
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${cfg};XDG_RUNTIME_DIR=${cfg}/run;XDG_STATE_HOME=${cfg}/state;DOSETTA_PORTS=;${ARGN}")
endfunction()
