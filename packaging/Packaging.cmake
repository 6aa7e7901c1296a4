# What an installed Voxleaf carries besides the two programs and the launcher
# entry (src/app): the AppStream metainfo, the icon in every hicolor size, the
# manual pages and the package documentation; then the Debian package made of
# all of it by `cpack -G DEB` (scripts/package.sh).
include(GNUInstallDirs)

set(VOX_APP_ID io.github.voxleaf.Voxleaf)
# The date of the release named by project(VERSION), in the metainfo and the
# changelog.
set(VOX_RELEASE_DATE 2026-12-06)
set(VOX_PACKAGE_MAINTAINER "The Voxleaf developers <developers@voxleaf.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(_vox_pkg_src ${CMAKE_CURRENT_LIST_DIR})
set(_vox_pkg_out ${CMAKE_BINARY_DIR}/packaging)

# The changelog wants the date in RFC 2822 form.
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -R -d "${VOX_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE VOX_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

configure_file(${_vox_pkg_src}/${VOX_APP_ID}.metainfo.xml.in ${_vox_pkg_out}/${VOX_APP_ID}.metainfo.xml @ONLY)
configure_file(${_vox_pkg_src}/changelog.in ${_vox_pkg_out}/changelog @ONLY)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(FILES ${_vox_pkg_out}/${VOX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Bitmaps rendered once from data/voxleaf.svg (256x256 is data/voxleaf.png).
foreach(_size 16 22 24 32 48 64 128 512)
  install(FILES ${_vox_pkg_src}/icons/${_size}x${_size}/voxleaf.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
endforeach()

# Manual pages and the changelog are installed compressed, as Debian has them;
# they are compressed at install time only, so ordinary builds do not see them.
set(_vox_gz ${_vox_pkg_out}/gz)
install(CODE "
  file(MAKE_DIRECTORY \"${_vox_gz}\")
  foreach(_f \"${_vox_pkg_src}/voxleaf.1\" \"${_vox_pkg_src}/voxleaf-cli.1\" \"${_vox_pkg_out}/changelog\")
    get_filename_component(_n \"\${_f}\" NAME)
    execute_process(COMMAND gzip -9nc \"\${_f}\" OUTPUT_FILE \"${_vox_gz}/\${_n}.gz\" RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
      message(FATAL_ERROR \"gzip \${_f} failed\")
    endif()
  endforeach()
")
install(FILES ${_vox_gz}/voxleaf.1.gz ${_vox_gz}/voxleaf-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_vox_gz}/changelog.gz ${_vox_pkg_src}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/voxleaf)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME voxleaf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Voxleaf developers")
set(CPACK_PACKAGE_CONTACT "${VOX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live English lecture recognition with Chinese translation")
set(CPACK_PACKAGE_DESCRIPTION "\
Voxleaf listens to an English lecture through a microphone, recognizes it
offline with PocketSphinx, cuts it into sentences and translates every
sentence into Simplified Chinese, live. A floating window keeps the last two
translations above other applications.
.
Lectures can be kept as courses, searched, replayed, exported as SRT or
WebVTT subtitles and reviewed into an HTML document. Translation runs through
a local LibreTranslate-compatible server or online through DeepSeek.
.
The package holds the desktop application (voxleaf) and the headless tool
(voxleaf-cli).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Shared libraries (Qt, PulseAudio, PocketSphinx, soxr, sndfile, ICU) are
# found by dpkg-shlibdeps; what the programs load at run time without linking
# it is named here: the QML modules the windows import, the platform plugins,
# the English recognizer model and a font with Chinese glyphs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-templates, \
qml6-module-qtquick-layouts, qml6-module-qtquick-window, qml6-module-qtquick-dialogs, \
qml6-module-qtqml-workerscript, qml6-module-qt-labs-folderlistmodel, qt6-qpa-plugins, \
pocketsphinx-en-us, fonts-wqy-microhei, adwaita-icon-theme, libqt6svg6")
# A sound server for the microphones; the native Wayland platform plugin; the
# WebP and TIFF readers for background pictures.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, qt6-wayland, qt6-image-formats-plugins, qt6-translations-l10n, qt6-xdgdesktopportal-platformtheme, xdg-desktop-portal")
include(CPack)
