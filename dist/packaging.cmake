# Installation and the Debian package (cpack -G DEB; scripts/package.sh).
# The desktop entry, icon, AppStream data and man page share one identifier.
include(GNUInstallDirs)
set(QUORIN_APP_ID org.quorinmonitor.QuorinMonitor)

install(TARGETS quorin-monitor quorin-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX AND NOT APPLE)
  # A stripped install (CPack's) drops what Debian's own packages drop as
  # well: the compilers' .comment section and the .note section.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(_exe $<TARGET_FILE_NAME:quorin-monitor> $<TARGET_FILE_NAME:quorin-sim>)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${_exe}\"
                        COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()")

  set(_dist ${CMAKE_CURRENT_LIST_DIR})
  install(FILES ${_dist}/${QUORIN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_dist}/${QUORIN_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${_dist}/${QUORIN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # Debian ships man pages and changelogs compressed, at the highest level and
  # without a time stamp in the gzip header.
  set(_gz ${CMAKE_CURRENT_BINARY_DIR}/dist)
  set(_compressed)
  foreach(_file man/quorin-monitor.1 man/quorin-sim.1 doc/changelog.Debian)
    get_filename_component(_name ${_file} NAME)
    add_custom_command(OUTPUT ${_gz}/${_file}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${_dist}/${_name} ${_gz}/${_file}
      COMMAND gzip -9nf ${_gz}/${_file}
      DEPENDS ${_dist}/${_name}
      COMMENT "Compressing ${_name}")
    list(APPEND _compressed ${_gz}/${_file}.gz)
  endforeach()
  add_custom_target(packagedocs ALL DEPENDS ${_compressed})
  install(FILES ${_gz}/man/quorin-monitor.1.gz ${_gz}/man/quorin-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Debian's place for them is named after the package, not the project.
  install(FILES ${_gz}/doc/changelog.Debian.gz ${_dist}/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorin-monitor)
  install(FILES ${_dist}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME quorin-monitor)
endif()

set(CPACK_PACKAGE_NAME quorin-monitor)
set(CPACK_PACKAGE_VENDOR "QuorinMonitor")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Watch and drive a QUORIN motion and I/O controller")
set(CPACK_PACKAGE_CONTACT "QuorinMonitor developers <quorin-monitor@users.noreply.github.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The Debian revision counts packagings of one program version: a fix to the
# packaging alone is 1.0-2. dist/changelog.Debian names the same version on top.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The summary above is the first line; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A desktop program for one controller on the network: its console, live I/O,
memory blocks, variables, tasks and axes, file transfers and breakpoints.
Includes quorin-sim, a simulated controller on the loopback interface.")
# Library dependencies come from the binaries (Debian's libqt6gui6 brings the
# X11 platform plugin); Japanese controller messages want a CJK font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
include(CPack)
