# What `cmake --install` puts where, by the GNU layout: the program on PATH, the browser it starts in
# libexec/kovalis, and the desktop's entry, icons, AppStream data and man page.
# -DKOVALIS_PORTABLE_INSTALL=ON installs a portable folder instead: both programs and the marker
# in the prefix itself, data beside them.
option(KOVALIS_PORTABLE_INSTALL "Install a portable folder: the programs and the marker file in the prefix" OFF)

if(KOVALIS_PORTABLE_INSTALL)
    if(KOVALIS_WITH_ENGINE)
        install(TARGETS kovalis kovalis-browser RUNTIME DESTINATION .)
        install(FILES ${CMAKE_BINARY_DIR}/src/app/portable DESTINATION .)
    endif()
    return()
endif()

if(KOVALIS_WITH_ENGINE)
    install(TARGETS kovalis RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(TARGETS kovalis-browser RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kovalis)
endif()
set(KOVALIS_DESKTOP ${PROJECT_SOURCE_DIR}/resources/desktop)
install(FILES ${KOVALIS_DESKTOP}/kovalis.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KOVALIS_DESKTOP}/kovalis.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    RENAME com.example.kovalis.Kovalis.metainfo.xml)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kovalis.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# PNGs for desktops without SVG icons, made from the SVG by scripts/make-icons.sh.
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}/kovalis.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/docs/kovalis.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
