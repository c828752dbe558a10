# Installing Tunelark as a desktop program: the program with its plug-ins in
# lib/tunelark (plug-ins are looked up beside the program), a launcher in
# bin, the menu entry, icons, AppStream data, the manual page and the list of
# public stations. Run from the build folder nothing of this is used.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Fixed, not CMAKE_INSTALL_LIBDIR: the launcher finds the program at
# ../lib/tunelark from itself, on multiarch systems too.
set(tunelark_program_dir lib/tunelark)
set(tunelark_desktop_out ${CMAKE_BINARY_DIR}/desktop)

install(TARGETS tunelark DESTINATION ${tunelark_program_dir})
install(PROGRAMS desktop/launcher.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME tunelark)
install(FILES desktop/tunelark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES desktop/tunelark.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# A plug-in target installs beside the program once it is named in the
# global property TUNELARK_PLUGINS (set_property(GLOBAL APPEND PROPERTY
# TUNELARK_PLUGINS <target>)); read at the end of configuring, so the order
# of the folders does not matter.
function(tunelark_install_plugins)
  get_property(plugins GLOBAL PROPERTY TUNELARK_PLUGINS)
  if(plugins)
    install(TARGETS ${plugins} LIBRARY DESTINATION ${tunelark_program_dir})
    add_dependencies(installed_files ${plugins})
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tunelark_install_plugins)

# The shipped station list is the repository's without local stations (the
# demo station serves from this machine and its songs are not installed).
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/stations1.txt)
file(READ ${CMAKE_SOURCE_DIR}/stations1.txt stations)
string(REGEX REPLACE "[^\n]*://(127\\.0\\.0\\.1|localhost)[:/][^\n]*\n?" "" stations "${stations}")
set(shipped ${tunelark_desktop_out}/stations1.txt)
set(old_stations "")
if(EXISTS ${shipped})
  file(READ ${shipped} old_stations)
endif()
if(NOT old_stations STREQUAL stations)  # an unchanged file keeps its time stamp
  file(WRITE ${shipped} "${stations}")
endif()
install(FILES ${shipped} DESTINATION ${CMAKE_INSTALL_DATADIR}/tunelark)

# The icon theme's sizes, drawn by the program's own icon code.
add_executable(render_icon tools/render_icon.cpp app/resources/icon.cpp)
target_include_directories(render_icon PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(render_icon PRIVATE Qt6::Gui)
set(icons)
foreach(size 48 128 256)
  set(png ${tunelark_desktop_out}/icons/${size}/tunelark.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tunelark_desktop_out}/icons/${size}
    # Leaks at exit in a build tool are no finding of a sanitizer build.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
      $<TARGET_FILE:render_icon> ${size} ${png}
    DEPENDS render_icon VERBATIM)
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  list(APPEND icons ${png})
endforeach()

# Debian wants manual pages and changelogs compressed, reproducibly (-n).
set(man ${tunelark_desktop_out}/tunelark.1.gz)
set(changelog ${tunelark_desktop_out}/changelog.Debian.gz)
add_custom_command(OUTPUT ${man}
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/docs/tunelark.1 > ${man}
  DEPENDS docs/tunelark.1)
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/desktop/changelog.Debian > ${changelog}
  DEPENDS desktop/changelog.Debian)
add_custom_target(desktop_files ALL DEPENDS ${icons} ${man} ${changelog})
install(FILES ${man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Everything the rules above install, without the tests: the package is made
# with CMAKE_SKIP_INSTALL_ALL_DEPENDENCY after building this.
add_custom_target(installed_files DEPENDS tunelark desktop_files)
install(FILES desktop/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tunelark)
