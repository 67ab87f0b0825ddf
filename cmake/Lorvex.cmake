# Build helpers shared by every module.

# lorvex_module(NAME [DEPS target...])
# One static library per module from every .cpp below src/<NAME>, except
# main.cpp files, which belong to executables.
function(lorvex_module name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
    set(cpp_sources ${sources})
    list(FILTER cpp_sources INCLUDE REGEX "\\.cpp$")
    if(cpp_sources)
        add_library(lorvex_${name} STATIC ${sources})
        target_include_directories(lorvex_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(lorvex_${name} PUBLIC ${ARG_DEPS})
    else()
        # A module whose code has not been written yet still names its place.
        add_library(lorvex_${name} INTERFACE)
        target_include_directories(lorvex_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(lorvex_${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# lorvex_module_tests(MODULE [LIBS target...])
# tests/<MODULE>/*.cpp become test_<MODULE>; tests/<MODULE>/threads/*.cpp
# become test_<MODULE>_threads, labelled "tsan" and also run by the
# ThreadSanitizer build. The ThreadSanitizer build defines only the latter.
function(lorvex_module_tests module)
    cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
    include(GoogleTest)
    file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    file(GLOB thread_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/threads/*.cpp)
    set(env "QT_QPA_PLATFORM=offscreen")
    if(unit_sources AND NOT LORVEX_SANITIZE STREQUAL "thread")
        add_executable(test_${module} ${unit_sources})
        target_link_libraries(test_${module} PRIVATE ${ARG_LIBS} lorvex_testsupport
            GTest::gtest GTest::gmock GTest::gtest_main)
        set_target_properties(test_${module} PROPERTIES
            RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        gtest_discover_tests(test_${module} DISCOVERY_MODE PRE_TEST
            PROPERTIES ENVIRONMENT "${env}" LABELS unit)
    endif()
    if(thread_sources)
        add_executable(test_${module}_threads ${thread_sources})
        target_link_libraries(test_${module}_threads PRIVATE ${ARG_LIBS} lorvex_testsupport
            GTest::gtest GTest::gmock GTest::gtest_main)
        set_target_properties(test_${module}_threads PROPERTIES
            RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        gtest_discover_tests(test_${module}_threads DISCOVERY_MODE PRE_TEST
            PROPERTIES ENVIRONMENT "${env}" LABELS "tsan;unit")
        add_dependencies(lorvex_tsan_tests test_${module}_threads)
    endif()
endfunction()
