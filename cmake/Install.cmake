# Installing Rechenkov on a desktop: the program, its menu entry, its icon in
# the hicolor theme, its AppStream metadata and its manual page; and a Debian
# package of it.

include(GNUInstallDirs)

install(TARGETS rechenkov RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS rechenkov-verlauf RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/rechenkov)
install(FILES resources/desktop/org.example.Rechenkov.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/desktop/org.example.Rechenkov.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The manual page and the package's changelog, compressed as Debian keeps
# them (gzip -9, without name and time, so every build gives the same bytes).
find_program(GZIP gzip)
set(RECHENKOV_MANPAGE ${CMAKE_SOURCE_DIR}/resources/man/rechenkov.1)
set(RECHENKOV_CHANGELOG ${CMAKE_SOURCE_DIR}/resources/debian/changelog)
if(GZIP)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/rechenkov.1.gz
        COMMAND ${GZIP} -9 -n -c ${RECHENKOV_MANPAGE} > ${CMAKE_BINARY_DIR}/rechenkov.1.gz
        DEPENDS ${RECHENKOV_MANPAGE}
        COMMENT "Compressing the manual page")
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
        COMMAND ${GZIP} -9 -n -c ${RECHENKOV_CHANGELOG} > ${CMAKE_BINARY_DIR}/changelog.gz
        DEPENDS ${RECHENKOV_CHANGELOG}
        COMMENT "Compressing the changelog")
    add_custom_target(manpage ALL DEPENDS ${CMAKE_BINARY_DIR}/rechenkov.1.gz)
    add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
    install(FILES ${CMAKE_BINARY_DIR}/rechenkov.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
    install(FILES ${RECHENKOV_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${RECHENKOV_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
# The licence in Debian's machine-readable copyright format.
install(FILES resources/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
foreach(size 32 64 128 256)
    install(FILES resources/desktop/icons/${size}x${size}/org.example.Rechenkov.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rechenkov)
set(CPACK_PACKAGE_VENDOR "Rechenkov developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Arithmetic trainer for primary-school children")
set(CPACK_PACKAGE_DESCRIPTION "Rechenkov shows a table of number columns in which children practise\nplus, minus and times tasks line by line, with a small reward game\nafter every 18th right answer. German user interface.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The programs go into the package without their symbols and debug
# information, as Debian ships them, whichever build type made them.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Rechenkov developers <rechenkov@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Fonts that stand in for the ones the layout names, the practice record's
# SQLite driver (a plugin, which the library scan does not see), and Qt's German texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-liberation2, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)

# The school's tables and roles, for the administrator to run with psql.
install(FILES resources/schule.sql DESTINATION ${CMAKE_INSTALL_DATADIR}/rechenkov)
