# Install rules and the Debian package (cpack -G DEB, or scripts/package.sh).
#
# Where the files live: everything the programs read or write sits in one folder, /opt/orvane
# (programs, OrvFilter.ini, OrvFilter.db, log/), because every program finds its settings in its
# own folder. /usr/bin holds symlinks to the programs; a program started through such a link
# still finds /opt/orvane, since its folder comes from /proc/self/exe, which names the target.
# Units, man pages, the desktop entry and the shipped defaults go where Debian expects them.
# The package never ships OrvFilter.ini or OrvFilter.db themselves: postinst copies the defaults
# from /usr/share/orvane/defaults only when they are absent, so upgrades keep the
# administrator's settings and lists, and the console and orvctl may rewrite them freely.

set(ORV_APP_DIR "opt/orvane")
set(_orv_programs orvproxy orvctl orvscan orvkeyd OrvConsole)
set(_orv_installed)
foreach(program IN LISTS _orv_programs)
  if(TARGET ${program})
    list(APPEND _orv_installed ${program})
  endif()
endforeach()

# Everything the package holds, so scripts/package.sh can build just that.
add_custom_target(orv_package_contents)
if(_orv_installed)
  add_dependencies(orv_package_contents ${_orv_installed})
  install(TARGETS ${_orv_installed} RUNTIME DESTINATION ${ORV_APP_DIR})
endif()

set(_orv_links ${CMAKE_CURRENT_BINARY_DIR}/package-links)
file(MAKE_DIRECTORY ${_orv_links})
foreach(program IN LISTS _orv_installed)
  file(CREATE_LINK /${ORV_APP_DIR}/${program} ${_orv_links}/${program} SYMBOLIC)
  install(FILES ${_orv_links}/${program} DESTINATION usr/bin)
endforeach()

install(FILES packaging/orvproxy.service packaging/orvfilter.service packaging/orvkeyd.service
        DESTINATION lib/systemd/system)
install(FILES examples/config/OrvFilter.ini examples/config/OrvFilter.db
        DESTINATION usr/share/orvane/defaults)
install(FILES README.md DESTINATION ${ORV_APP_DIR})

if(TARGET OrvConsole)
  install(FILES packaging/orvane-console.desktop DESTINATION usr/share/applications)
  install(FILES resources/images/app_icon_256.png DESTINATION usr/share/icons/hicolor/256x256/apps
          RENAME orvane.png)
endif()

# Man pages, compressed as Debian wants them (gzip -n: no name or time, so builds repeat).
file(GLOB _orv_man_pages CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/man/*.1
     ${CMAKE_CURRENT_SOURCE_DIR}/man/*.8)
set(_orv_man_outputs)
foreach(page IN LISTS _orv_man_pages)
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE "^.*\\.([18])$" "\\1" section ${name})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${out}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
                     COMMAND gzip -9nc ${page} > ${out}
                     DEPENDS ${page} VERBATIM)
  install(FILES ${out} DESTINATION usr/share/man/man${section})
  list(APPEND _orv_man_outputs ${out})
endforeach()
if(_orv_man_outputs)
  add_custom_target(orv_man_pages ALL DEPENDS ${_orv_man_outputs})
  add_dependencies(orv_package_contents orv_man_pages)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "Orvane maintainers <maintainers@orvane.net>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyword content filter for web sites")
set(CPACK_PACKAGE_DESCRIPTION
    "orvproxy screens the pages of a web site for forbidden keywords in front of its web server.
orvctl, orvscan, orvkeyd and OrvConsole manage the lists, settings and event logs.")
# The build keeps its debug information; the package does not need it.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst
    ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/prerm
    ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
