# The Debian package (cpack -G DEB in a build folder; see tools/make_deb.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunelark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tunelark developers <developers@tunelark.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small internet radio player")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tunelark.org/")
# Dependencies from the shared libraries the program and plug-ins link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tunelark plays internet radio stations from a list the user edits: pick a
station to hear it, and see its name, the song title, the stream's format
and two level meters. It has volume, a three-band equaliser with reverb and
presets, and records what a station sends into one file per song.

MP3, Ogg Vorbis, AAC and Ogg Opus streams play; titles sent by Icecast and
SHOUTcast stations and Ogg comments are shown.")
include(CPack)
