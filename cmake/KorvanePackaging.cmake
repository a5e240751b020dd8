# What a player installs: the manual pages, the AppStream metadata, the package's own documents,
# and the Debian package made by CPack from these install rules (scripts/package.sh runs it).
#
# CPack, not a debian/ folder: the package is made from the very build tree and install rules
# that ./run.sh and cmake --install use, so a test run packs what it has just built instead of
# building everything again in a clean source tree, and nothing about the files is said twice.

set(KORVANE_HOMEPAGE "https://github.com/korvane/korvane")
set(KORVANE_SCREENSHOTS "https://raw.githubusercontent.com/korvane/korvane/main/docs/screenshots")
set(KORVANE_MAINTAINER "The Korvane developers <korvane@users.noreply.github.com>"
  CACHE STRING "Maintainer named in the Debian package")
# The date of the release named by project(VERSION); the changelog and the metadata carry it.
set(KORVANE_RELEASE_DATE 2026-12-07)
set(KORVANE_RELEASE_DATE_RFC2822 "Mon, 07 Dec 2026 12:00:00 +0000")
set(KORVANE_DEB_VERSION ${PROJECT_VERSION})

set(packaging ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(generated ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(metainfo io.github.korvane.korvane.metainfo.xml)
configure_file(${packaging}/${metainfo}.in ${generated}/${metainfo} @ONLY)
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
configure_file(${packaging}/korvane.1 ${generated}/korvane.1 @ONLY)
configure_file(${packaging}/korvane-reg.1 ${generated}/korvane-reg.1 @ONLY)

# Debian wants manual pages and changelogs compressed with gzip -9n (no name, no time stamp), so
# that the same sources give the same bytes.
set(compressed)
foreach(file korvane.1 korvane-reg.1 changelog)
  add_custom_command(OUTPUT ${generated}/${file}.gz
    COMMAND gzip -9nc ${generated}/${file} > ${generated}/${file}.gz
    DEPENDS ${generated}/${file} VERBATIM)
  list(APPEND compressed ${generated}/${file}.gz)
endforeach()
add_custom_target(korvane_docs ALL DEPENDS ${compressed})

install(FILES ${generated}/korvane.1.gz ${generated}/korvane-reg.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${generated}/${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated}/changelog.gz ${packaging}/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/korvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KORVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mod manager for Giants: Citizen Kabuto")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not "games": that section is for packages with a game in /usr/games, and Korvane is a tool
# beside one. Its desktop entry and metadata still file it under games.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KORVANE_HOMEPAGE})
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Korvane lists the modpacks (.gck archives) of the Windows game Giants:
Citizen Kabuto, installs the chosen one into the game with a backup of
every file it replaces, starts the game through Wine and puts the game
back as it was when the game exits.
.
Two players can play a modpack together: the host publishes it over a
small built-in HTTP server (port 8155) and the joining player downloads
it when it is missing or different. korvane-reg sets Korvane up with the
syntax of the Windows reg command.")
# The libraries actually linked, as dpkg-shlibdeps finds them in the binaries and the unzip
# library. Qt loads its platform plugin at run time, so no linked library names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Every real giants.exe is a Windows program, but a game folder may hold anything that runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine")
include(CPack)
