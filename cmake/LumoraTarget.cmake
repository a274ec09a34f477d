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

# A build of the program from src/main.cpp. ORIGIN points backend and identity service at another server than the
# configured one (the test and benchmark builds use private local ports).
function(lumora_program target)
    cmake_parse_arguments(ARG "" "ORIGIN" "" ${ARGN})
    if(ARG_ORIGIN)
        set(LUMORA_BACKEND_URL ${ARG_ORIGIN})
        set(LUMORA_IDENTITY_URL ${ARG_ORIGIN})
    endif()
    set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_generated)
    configure_file(${PROJECT_SOURCE_DIR}/src/buildconfig.h.in ${generated}/buildconfig.h @ONLY)
    add_executable(${target} ${PROJECT_SOURCE_DIR}/src/main.cpp)
    target_include_directories(${target} BEFORE PRIVATE ${generated})
    target_link_libraries(${target} PRIVATE lumora_shell lumora_auth_gotrue lumora_platform_linux lumora_platform_x11
                                            lumora_platform_desktop lumora_platform_qtnetwork)
    lumora_strict_warnings(${target})
endfunction()
