# Installation in the freedesktop places, and the Debian package made from it by CPack.
if(KALVEX_TSAN)
    return()
endif()
include(GNUInstallDirs)

set(KALVEX_DATA ${PROJECT_SOURCE_DIR}/data)
set(KALVEX_GENERATED ${PROJECT_BINARY_DIR}/install-data)
file(MAKE_DIRECTORY ${KALVEX_GENERATED}/icons)

install(TARGETS kalvex kalvex-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KALVEX_DATA}/kalvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KALVEX_DATA}/kalvex-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME kalvex.xml)
configure_file(${KALVEX_DATA}/io.github.kalvex.Kalvex.metainfo.xml.in
               ${KALVEX_GENERATED}/io.github.kalvex.Kalvex.metainfo.xml @ONLY)
install(FILES ${KALVEX_GENERATED}/io.github.kalvex.Kalvex.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KALVEX_DATA}/completion/kalvex-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The icons: drawn by the program's own code when the programs are built.
set(KALVEX_ICON_SIZES 16 32 48 64 128 256)
set(KALVEX_ICON_FILES ${KALVEX_GENERATED}/icons/kalvex.svg)
foreach(size IN LISTS KALVEX_ICON_SIZES)
    list(APPEND KALVEX_ICON_FILES ${KALVEX_GENERATED}/icons/kalvex-${size}.png)
endforeach()
add_custom_command(OUTPUT ${KALVEX_ICON_FILES}
    COMMAND kalvex_make_icons ${KALVEX_GENERATED}/icons
    DEPENDS kalvex_make_icons
    COMMENT "Drawing the icon files")
add_custom_target(kalvex_icons ALL DEPENDS ${KALVEX_ICON_FILES})
install(FILES ${KALVEX_GENERATED}/icons/kalvex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS KALVEX_ICON_SIZES)
    install(FILES ${KALVEX_GENERATED}/icons/kalvex-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kalvex.png)
endforeach()

# Man pages, compressed as Debian wants them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(KALVEX_MAN_FILES)
foreach(page kalvex kalvex-cli)
    configure_file(${KALVEX_DATA}/man/${page}.1.in ${KALVEX_GENERATED}/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${KALVEX_GENERATED}/${page}.1.gz
        COMMAND ${GZIP_PROGRAM} -9 -n -c ${KALVEX_GENERATED}/${page}.1 > ${KALVEX_GENERATED}/${page}.1.gz
        DEPENDS ${KALVEX_GENERATED}/${page}.1)
    list(APPEND KALVEX_MAN_FILES ${KALVEX_GENERATED}/${page}.1.gz)
endforeach()
add_custom_target(kalvex_man ALL DEPENDS ${KALVEX_MAN_FILES})
install(FILES ${KALVEX_MAN_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# What Debian asks of every package's documentation folder.
set(KALVEX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kalvex)
string(TIMESTAMP KALVEX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${KALVEX_DATA}/debian/changelog.in ${KALVEX_GENERATED}/changelog @ONLY)
add_custom_command(OUTPUT ${KALVEX_GENERATED}/changelog.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${KALVEX_GENERATED}/changelog > ${KALVEX_GENERATED}/changelog.gz
    DEPENDS ${KALVEX_GENERATED}/changelog)
add_custom_target(kalvex_changelog ALL DEPENDS ${KALVEX_GENERATED}/changelog.gz)
install(FILES ${KALVEX_GENERATED}/changelog.gz DESTINATION ${KALVEX_DOC_DIR})
install(FILES ${KALVEX_DATA}/debian/copyright DESTINATION ${KALVEX_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kalvex developers <kalvex@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for PostgreSQL dump files / PostgreSQL ダンプビューア")
# CPack puts the summary first and indents these lines; an empty line becomes " .".
set(CPACK_PACKAGE_DESCRIPTION
"Kalvex opens dumps written by pg_dump and pg_dumpall (custom, directory and
tar archives, plain SQL scripts, compressed with gzip, lz4 or zstd or not)
and, without a database server, shows their tables and rows, filters them,
shows the DDL and exports rows to CSV. kalvex-cli does the same for scripts.

PostgreSQL のダンプファイル(pg_dump / pg_dumpall)をサーバーなしで開き、
テーブルと行の参照、絞り込み、DDL 表示、CSV 出力を行うビューアです。
画面は日本語です。")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kalvex developers / Kalvex 開発者 <kalvex@users.noreply.github.com>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Japanese texts come as data, which dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion, shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build/package)
set(CPACK_STRIP_FILES ON)
include(CPack)
