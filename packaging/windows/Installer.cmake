# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows download: a portable zip and an NSIS installer of the same
# files, made by cpack in the 32-bit build folder (scripts/package-windows.sh).
# The programs and the DLLs beside them are installed by app/; here are the
# notices, and the installer's settings.
set(notices ${CMAKE_CURRENT_BINARY_DIR}/notices)
execute_process(COMMAND dpkg-query -W -f=\${Version} qt6-base-dev OUTPUT_VARIABLE RVZ_QT_SOURCE_VERSION
                ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT RVZ_QT_SOURCE_VERSION)
  set(RVZ_QT_SOURCE_VERSION "unknown (not built on Debian)")
endif()
# Qt's translations of itself come as Debian built them (app/, WindowRuntime.cmake).
execute_process(COMMAND dpkg-query -W -f=\${Version} qt6-translations-l10n OUTPUT_VARIABLE RVZ_QT_TRANSLATIONS_VERSION
                ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT RVZ_QT_TRANSLATIONS_VERSION)
  set(RVZ_QT_TRANSLATIONS_VERSION "unknown (not built on Debian)")
endif()
execute_process(COMMAND sh -c ". /etc/os-release && echo \"$VERSION_CODENAME\"" OUTPUT_VARIABLE RVZ_DEBIAN_RELEASE
                ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(windows/README-Windows.txt.in ${notices}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(windows/THIRD-PARTY.txt.in ${notices}/THIRD-PARTY.txt @ONLY NEWLINE_STYLE CRLF)
# The project's licence first, then the notices of what the download bundles:
# the installer's licence page and LICENSE.txt beside the programs.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE RVZ_GPL_TEXT)
file(READ ${notices}/THIRD-PARTY.txt RVZ_THIRD_PARTY_TEXT)
string(REPLACE "\r\n" "\n" RVZ_THIRD_PARTY_TEXT "${RVZ_THIRD_PARTY_TEXT}")
configure_file(windows/LICENSE-Windows.txt.in ${notices}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${notices}/README.txt ${notices}/LICENSE.txt ${notices}/THIRD-PARTY.txt DESTINATION . COMPONENT program)

# The licence texts as Debian ships them, the build machine's own.
set(licences
  /usr/share/common-licenses/LGPL-3 LGPL-3.txt
  /usr/share/common-licenses/GPL-3 GPL-3.txt
  /usr/share/doc/libqt6core6/copyright Qt-copyright.txt
  /usr/share/doc/qt6-translations-l10n/copyright Qt-translations-copyright.txt
  /usr/share/doc/gcc-mingw-w64-base/copyright GCC-runtime-copyright.txt
  /usr/share/doc/mingw-w64-common/copyright MinGW-w64-copyright.txt)
while(licences)
  list(POP_FRONT licences source name)
  if(NOT EXISTS ${source})
    message(WARNING "${source} is missing: the Windows download would lack ${name}")
    continue()
  endif()
  install(FILES ${source} DESTINATION licenses RENAME ${name} COMPONENT program)
endwhile()

set(CPACK_PACKAGE_NAME rivivev-uvezi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Rivivev Uvezi")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set up a programmable digital RC servo through its USB adapter")
set(CPACK_PACKAGE_FILE_NAME rivivev-uvezi-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Rivivev Uvezi")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Rivivev Uvezi")
set(CPACK_STRIP_FILES ON)
# The installer's licence page: the project's licence, then the bundled parts'.
set(CPACK_RESOURCE_FILE_LICENSE ${notices}/LICENSE.txt)
# Start-menu entries: executable (in bin), then its caption.
set(CPACK_PACKAGE_EXECUTABLES rivivev-uvezi "Rivivev Uvezi" rivivev-uvezi-demo "Rivivev Uvezi demo")
set(CPACK_NSIS_PACKAGE_NAME "Rivivev Uvezi")
set(CPACK_NSIS_DISPLAY_NAME "Rivivev Uvezi ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${CMAKE_CURRENT_SOURCE_DIR}/windows/rivivev-uvezi.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_CURRENT_SOURCE_DIR}/windows/rivivev-uvezi.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\rivivev-uvezi.exe")
set(CPACK_NSIS_URL_INFO_ABOUT "${RVZ_HOMEPAGE}")
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Read me.lnk' '$INSTDIR\\\\README.txt'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Read me.lnk'")
# CPack's uninstaller removes the key under the vendor's but leaves the
# vendor's own, which is only ours: it goes first, with all below it.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "DeleteRegKey SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}'")
# An older version is uninstalled first, so no file of it stays behind.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
set(CPACK_GENERATOR NSIS ZIP)
include(CPack)
