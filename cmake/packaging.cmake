# Install rules and Debian packages.
#
# Layout under the prefix (GNUInstallDirs): the two programs in bin/, the query service in
# libexec/pellquin/, the help pages in share/pellquin/help/, manuals, desktop entry, icons,
# AppStream metainfo and bash completion where Debian looks for them; the service's default
# configuration in /etc/pellquin/ (a conffile) and its systemd unit in the vendor unit folder.
# The programs find the help pages and the service relative to their own executable, so any
# prefix works.
#
# Packages come from CPack's DEB generator rather than debhelper: they are built from these
# same install rules by one command on a configured build tree, without a second description
# of the layout in a debian/ folder.
include(GNUInstallDirs)

set(PELLQUIN_SYSTEMD_UNIT_DIR "/lib/systemd/system" CACHE PATH
    "Where the query service's systemd unit is installed")
set(pellquin_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(pellquin_generated ${PROJECT_BINARY_DIR}/packaging)
set(PELLQUIN_SERVICE_PROGRAM
    ${CMAKE_INSTALL_FULL_LIBEXECDIR}/pellquin/PellquinService)

find_program(PELLQUIN_GZIP gzip REQUIRED)

# Debian wants manuals and changelogs compressed, without a time stamp in the gzip header.
function(pellquin_gzip_file source output)
    add_custom_command(OUTPUT ${output}
        COMMAND ${PELLQUIN_GZIP} -9 -n -c ${source} > ${output}
        DEPENDS ${source}
        VERBATIM)
endfunction()

set(pellquin_gz_outputs)
foreach(page pellquin.1 pellquin-cli.1 PellquinService.8)
    pellquin_gzip_file(${pellquin_packaging}/man/${page} ${pellquin_generated}/${page}.gz)
    list(APPEND pellquin_gz_outputs ${pellquin_generated}/${page}.gz)
endforeach()
pellquin_gzip_file(${pellquin_packaging}/debian/changelog ${pellquin_generated}/changelog.gz)
list(APPEND pellquin_gz_outputs ${pellquin_generated}/changelog.gz)
add_custom_target(pellquin_packaging_files ALL DEPENDS ${pellquin_gz_outputs})

configure_file(${pellquin_packaging}/linux/Pellquin.service.in
    ${pellquin_generated}/Pellquin.service @ONLY)

# The desktop program.
if(TARGET pellquin)
    install(TARGETS pellquin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gui)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/help/pages/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/pellquin/help COMPONENT gui)
    install(FILES ${pellquin_packaging}/linux/example.morrowfen.Pellquin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gui)
    install(FILES ${pellquin_packaging}/linux/example.morrowfen.Pellquin.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
    install(FILES ${pellquin_packaging}/icons/pellquin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT gui)
    foreach(size 16 32 48 64 128 256)
        install(FILES ${pellquin_packaging}/icons/pellquin-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME pellquin.png COMPONENT gui)
    endforeach()
    install(FILES ${pellquin_generated}/pellquin.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT gui)
endif()

# The command-line program.
install(TARGETS pellquin-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(FILES ${pellquin_generated}/pellquin-cli.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
install(FILES ${pellquin_packaging}/completion/pellquin-cli
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT cli)

# The query service.
install(TARGETS pellquin_service
    RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/pellquin COMPONENT service)
install(FILES ${PROJECT_SOURCE_DIR}/src/queryservice/PellquinService.conf
    DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/pellquin COMPONENT service)
install(FILES ${PROJECT_SOURCE_DIR}/src/queryservice/PellquinService.conf
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pellquin-service RENAME PellquinService.conf.example
    COMPONENT service)
install(FILES ${pellquin_generated}/Pellquin.service
    DESTINATION ${PELLQUIN_SYSTEMD_UNIT_DIR} COMPONENT service)
install(FILES ${pellquin_generated}/PellquinService.8.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT service)

# Each package's copyright and changelog.
foreach(package pellquin pellquin-cli pellquin-service)
    if(package STREQUAL "pellquin")
        set(component gui)
        if(NOT TARGET pellquin)
            continue()
        endif()
    elseif(package STREQUAL "pellquin-cli")
        set(component cli)
    else()
        set(component service)
    endif()
    install(FILES ${pellquin_packaging}/debian/copyright ${pellquin_generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellquin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Morrowfen Software")
set(CPACK_PACKAGE_CONTACT "Morrowfen Software <packages@morrowfen.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.morrowfen.example")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENTS_ALL cli service)
if(TARGET pellquin)
    list(PREPEND CPACK_COMPONENTS_ALL gui)
endif()

set(CPACK_DEBIAN_GUI_PACKAGE_NAME pellquin)
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION net)
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS "pellquin-cli, pellquin-service, xdg-utils")
set(CPACK_COMPONENT_GUI_DESCRIPTION
   "see who holds files open on a file server (desktop program)
Pellquin lists the open-file handles under a path on its SMB file server
(Windows or Samba): the handle id, file name, user, lock count and
permissions, and closes the handles chosen. It asks the server directly,
which needs administrative rights there, or through the Pellquin query
service, which answers for ordinary users.

This package holds the Qt desktop program with its help pages, desktop
entry and icons.")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME pellquin-cli)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION net)
set(CPACK_COMPONENT_CLI_DESCRIPTION
   "see who holds files open on a file server (command line)
Pellquin lists the open-file handles under a path on its SMB file server
(Windows or Samba): the handle id, file name, user, lock count and
permissions, and closes the handles chosen, directly or through the
Pellquin query service.

This package holds pellquin-cli, for terminals and scripts, with table,
JSON and CSV output.")

set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME pellquin-service)
set(CPACK_DEBIAN_SERVICE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SERVICE_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_SERVICE_PACKAGE_SUGGESTS "samba")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA
    ${pellquin_packaging}/debian/pellquin-service/conffiles
    ${pellquin_packaging}/debian/pellquin-service/postinst
    ${pellquin_packaging}/debian/pellquin-service/prerm
    ${pellquin_packaging}/debian/pellquin-service/postrm)
set(CPACK_COMPONENT_SERVICE_DESCRIPTION
   "open-file queries of a file server for ordinary users
The Pellquin query service runs on or beside a Samba file server and
answers Pellquin's open-file queries and close requests on TCP port 8021
with an administrator's credentials, so ordinary users can see who holds
their files.

Whoever can reach the port can close anyone's open files on that server
unless the configuration refuses closes or limits the clients. The service
is therefore installed disabled: write /etc/pellquin/PellquinService.conf
and the credentials file, then run systemctl enable --now Pellquin.")

include(CPack)
