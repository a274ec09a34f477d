# Compiler settings shared by every target built from this repository's own code.
function(lumora_strict_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
                           # Designated initializers that leave optional fields out are intended.
                           -Wno-missing-field-initializers)
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
                                                 QT_NO_KEYWORDS)
endfunction()

# A library for one source folder: explicit sources, strict warnings, the folder's parent on the include path so
# headers are included as "backend/apiclient.h".
function(lumora_library target)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS" ${ARGN})
    add_library(${target} STATIC ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LIBS})
    lumora_strict_warnings(${target})
endfunction()

# One test executable per unit of behaviour, registered with ctest under a tier label.
function(lumora_test name)
    cmake_parse_arguments(ARG "" "TIER;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} lumora_test_main GTest::gmock)
    lumora_strict_warnings(${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_TIER} TIMEOUT ${ARG_TIMEOUT} DISCOVERY_TIMEOUT 30)
endfunction()
