# SPDX-License-Identifier: GPL-3.0-or-later
# The DLLs the window programs load at run time on Windows: Qt's libraries,
# the plugins Qt loads from the folders beside them, and MinGW's runtime,
# which Qt's libraries link against (our own executables carry theirs).
# They are copied beside the executables in the build tree, so the programs
# and the widget tests start there as they would once installed.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(gcc_runtime libgcc_s_dw2-1.dll)  # 32 bits: DWARF-2 unwinding
else()
  set(gcc_runtime libgcc_s_seh-1.dll)
endif()
set(RVZ_MINGW_RUNTIME "")
set(mingw_dlls "")
if(MINGW)
  set(mingw_dlls libstdc++-6.dll ${gcc_runtime} libwinpthread-1.dll)
endif()
foreach(dll IN LISTS mingw_dlls)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "MinGW's ${dll} was not found beside ${CMAKE_CXX_COMPILER}")
  endif()
  get_filename_component(path "${path}" REALPATH)
  list(APPEND RVZ_MINGW_RUNTIME "${path}")
endforeach()

# Each file is copied into its folder beside the executables ("." for
# beside them) and, unless it serves only the tests, installed there too:
# the zip and the installer hold it.
include(GNUInstallDirs)
set(destination $<TARGET_FILE_DIR:rivivev-uvezi-demo>)
set(copies "")
macro(rvz_runtime_file file folder)
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${destination}/${folder}
       COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${destination}/${folder})
  if(NOT "${ARGN}" STREQUAL "TEST_ONLY")
    install(FILES ${file} DESTINATION ${CMAKE_INSTALL_BINDIR}/${folder} COMPONENT program)
  endif()
endmacro()
foreach(library Qt6::Core Qt6::Gui Qt6::Widgets)
  rvz_runtime_file($<TARGET_FILE:${library}> .)
endforeach()
foreach(dll IN LISTS RVZ_MINGW_RUNTIME)
  rvz_runtime_file(${dll} .)
endforeach()
rvz_runtime_file($<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> platforms)
# The offscreen platform lets the window start without a screen: the tests,
# and a check of an installed program.
rvz_runtime_file($<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin> platforms)
rvz_runtime_file($<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> styles)
# Qt's translation of its own texts (file dialogs, standard buttons) for the
# window's two Chinese languages, which the window looks for in
# "translations" beside it: Debian's qt6-translations-l10n, of the Qt
# version the MinGW Qt is built from.
set(RVZ_QT_TRANSLATIONS /usr/share/qt6/translations CACHE PATH "The folder of Qt's qtbase_*.qm translations")
execute_process(COMMAND dpkg-query -W -f=\${Version} qt6-translations-l10n OUTPUT_VARIABLE translations_version
                ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
if(RVZ_QT_TRANSLATIONS STREQUAL "/usr/share/qt6/translations" AND translations_version
   AND NOT translations_version MATCHES "^${Qt6_VERSION_MAJOR}\\.${Qt6_VERSION_MINOR}\\.")
  message(FATAL_ERROR "qt6-translations-l10n ${translations_version} is not of Qt ${Qt6_VERSION}")
endif()
foreach(language zh_TW zh_CN)
  set(file ${RVZ_QT_TRANSLATIONS}/qtbase_${language}.qm)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} is missing: install qt6-translations-l10n (scripts/install-deps.sh windows)")
  endif()
  rvz_runtime_file(${file} translations)
endforeach()
if(RVZ_BUILD_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  rvz_runtime_file($<TARGET_FILE:Qt6::Test> . TEST_ONLY)
endif()
add_custom_target(rvz_window_runtime ALL ${copies} VERBATIM)

# Debian's MinGW runtime and our Qt build keep their symbols and debugging
# sections; a stripped install (the download's) goes without them. A DLL's
# exports and unwinding tables are neither, and stay.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB_RECURSE dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/*.dll\")
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \${dlls} COMMAND_ERROR_IS_FATAL ANY)
  endif()" COMPONENT program)
