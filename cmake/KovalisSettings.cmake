# How the installed programs find each other: kovalis in bin, the browser in libexec/kovalis.
file(RELATIVE_PATH KOVALIS_LIBEXEC_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBEXECDIR}/kovalis)
file(RELATIVE_PATH KOVALIS_BIN_FROM_LIBEXEC ${CMAKE_INSTALL_FULL_LIBEXECDIR}/kovalis ${CMAKE_INSTALL_FULL_BINDIR})

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
if(KOVALIS_WERROR)
    target_compile_options(kovalis_settings INTERFACE -Werror)
endif()
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

# kovalis_add_test(NAME SOURCES ... LIBS ... [ENGINE] [ALSO_UNDER LOCALE])
# Every test is its own executable with a CTest timeout and the offscreen platform, run under the
# C.UTF-8 locale; ALSO_UNDER runs it a second time as NAME_LOCALE (zh_CN.UTF-8 gives tst_x_zh_CN).
function(kovalis_add_test name)
    cmake_parse_arguments(T "ENGINE" "TIMEOUT;ALSO_UNDER" "SOURCES;LIBS" ${ARGN})
    if(T_ENGINE AND NOT KOVALIS_WITH_ENGINE)
        return()
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test kovalis_settings)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    set(env "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;KOVALIS_UNATTENDED=1;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-home/data;XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/cache;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config;LANGUAGE=")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env};LC_ALL=C.UTF-8;LANG=C.UTF-8")
    if(T_ALSO_UNDER)
        kovalis_test_locale(${T_ALSO_UNDER} locpath)
        string(REGEX REPLACE "\\..*" "" suffix "${T_ALSO_UNDER}")
        add_test(NAME ${name}_${suffix} COMMAND ${name})
        set_tests_properties(${name}_${suffix} PROPERTIES TIMEOUT ${T_TIMEOUT}
            ENVIRONMENT "${env};LC_ALL=${T_ALSO_UNDER};LANG=${T_ALSO_UNDER};LOCPATH=${locpath}")
        if(TARGET kovalis_locale_${suffix})
            add_dependencies(${name} kovalis_locale_${suffix})
        endif()
    endif()
endfunction()

# kovalis_test_locale(zh_CN.UTF-8 OUT_LOCPATH)
# The C library's data for a locale, built into the build folder from the `locales` package's sources,
# so tests run under it on machines that never generated it. Where the sources are missing, LOCPATH
# stays the system's and the C library falls back to the C locale (Qt still reads the locale's name).
function(kovalis_test_locale locale out)
    if(NOT locale MATCHES "^([^.]+)\\.(.+)$")
        message(FATAL_ERROR "kovalis_test_locale: ${locale} is not language_TERRITORY.CHARMAP")
    endif()
    set(suffix ${CMAKE_MATCH_1})
    set(charmap ${CMAKE_MATCH_2})
    set(locpath ${CMAKE_BINARY_DIR}/test-locales)
    find_program(KOVALIS_LOCALEDEF localedef)
    if(NOT KOVALIS_LOCALEDEF OR NOT EXISTS /usr/share/i18n/locales/${suffix})
        message(WARNING "No locale sources for ${locale} (Debian's `locales` package): its tests run on the C library's fallback.")
        set(${out} "" PARENT_SCOPE)
        return()
    endif()
    if(NOT TARGET kovalis_locale_${suffix})
        add_custom_command(OUTPUT ${locpath}/${locale}/LC_CTYPE
            COMMAND ${CMAKE_COMMAND} -E make_directory ${locpath}
            # localedef reports warnings of the sources through its status; the data it wrote is what counts.
            COMMAND sh -c "${KOVALIS_LOCALEDEF} -c -i ${suffix} -f ${charmap} ${locpath}/${locale} || test -s ${locpath}/${locale}/LC_CTYPE"
            COMMENT "Building the ${locale} locale for the tests" VERBATIM)
        add_custom_target(kovalis_locale_${suffix} DEPENDS ${locpath}/${locale}/LC_CTYPE)
    endif()
    set(${out} ${locpath} PARENT_SCOPE)
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
