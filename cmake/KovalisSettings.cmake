# One place for the compile settings every target of ours gets.
add_library(kovalis_settings INTERFACE)
target_compile_definitions(kovalis_settings INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_URL_CAST_FROM_STRING
    QT_USE_QSTRINGBUILDER
    QT_NO_KEYWORDS
    QT_DISABLE_DEPRECATED_BEFORE=0x060400
    KOVALIS_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    KOVALIS_VERSION_MINOR=${PROJECT_VERSION_MINOR}
    KOVALIS_VERSION_REVISION=${PROJECT_VERSION_TWEAK}
    KOVALIS_VERSION_TEXT="${PROJECT_VERSION}")
target_compile_options(kovalis_settings INTERFACE -Wall -Wextra -Wnon-virtual-dtor)
if(KOVALIS_SANITIZE)
    target_compile_options(kovalis_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(kovalis_settings INTERFACE -fsanitize=address,undefined)
endif()
if(KOVALIS_FUZZ)
    # Coverage for libFuzzer in every library of ours; the fuzz targets add the fuzzer's main.
    target_compile_options(kovalis_settings INTERFACE -fsanitize=fuzzer-no-link,address,undefined
        -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(kovalis_settings INTERFACE -fsanitize=address,undefined)
endif()

# kovalis_add_test(NAME SOURCES ... LIBS ... [ENGINE])
# Every test is its own executable with a CTest timeout and the offscreen platform.
function(kovalis_add_test name)
    cmake_parse_arguments(T "ENGINE" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(T_ENGINE AND NOT KOVALIS_WITH_ENGINE)
        return()
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test kovalis_settings)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;KOVALIS_UNATTENDED=1;LC_ALL=C.UTF-8;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/data;XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/cache;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config")
endfunction()

# `cmake --build build --target format` formats every C++ file with the repository's .clang-format.
find_program(KOVALIS_CLANG_FORMAT clang-format)
if(KOVALIS_CLANG_FORMAT)
    file(GLOB_RECURSE KOVALIS_FORMAT_FILES CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
        ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
        ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.h)
    add_custom_target(format COMMAND ${KOVALIS_CLANG_FORMAT} -i ${KOVALIS_FORMAT_FILES} VERBATIM)
endif()
