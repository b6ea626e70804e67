# SPDX-License-Identifier: GPL-3.0-or-later
# Windows only, run under Wine: the stand-in library loaded by the real
# loader, and the command line's executable over it.

# The stand-in, built as the vendor's library is: a DLL that exports the
# seven operations at their ordinals. A second one lacks the write.
function(rvz_stand_in_dll name def)
  add_library(${name} SHARED support/siusbxp/StandIn.cpp support/siusbxp/StandIn.h support/siusbxp/${def})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/siusbxp)
  target_link_libraries(${name} PRIVATE rvz_bridge_siusbxp rvz_bridge_sim)
  set_target_properties(${name} PROPERTIES PREFIX "")
  rvz_warnings(${name})
endfunction()
rvz_stand_in_dll(siusbxp_stand_in SIUSBXP.def)
set_target_properties(siusbxp_stand_in PROPERTIES OUTPUT_NAME SIUSBXP)
rvz_stand_in_dll(siusbxp_without_write WithoutWrite.def)
set_target_properties(siusbxp_without_write PROPERTIES OUTPUT_NAME siusbxp-without-write)
rvz_stand_in_dll(siusbxp_swapped Swapped.def)
set_target_properties(siusbxp_swapped PROPERTIES OUTPUT_NAME siusbxp-swapped)

# Everything lands in one folder, so the stand-in lies beside the executables.
target_link_libraries(siusbxp_bridge_test PRIVATE rvz_siusbxp_library)
add_dependencies(siusbxp_bridge_test siusbxp_stand_in siusbxp_without_write siusbxp_swapped)

# The command line's executable as a user runs it. bare/ holds a copy
# without the library beside it.
set(bare ${CMAKE_CURRENT_BINARY_DIR}/bare)
add_custom_command(OUTPUT ${bare}/rivivev-uvezi-cli.exe
  COMMAND ${CMAKE_COMMAND} -E make_directory ${bare}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:rivivev-uvezi-cli> ${bare}/
  DEPENDS rivivev-uvezi-cli)
add_custom_target(rvz_cli_exe_test_programs ALL DEPENDS ${bare}/rivivev-uvezi-cli.exe siusbxp_stand_in)

function(rvz_cli_exe_test name folder exit output)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND}
    -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR} -DPROGRAM=${folder}/rivivev-uvezi-cli.exe -DARGS=${ARGN}
    -DWORKING_DIRECTORY=${CMAKE_CURRENT_BINARY_DIR} -DEXPECT_EXIT=${exit} -DEXPECT_OUTPUT=${output}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/RunProgram.cmake)
  set_tests_properties(${name} PROPERTIES TIMEOUT 120)
endfunction()

set(cli_dir $<TARGET_FILE_DIR:rivivev-uvezi-cli>)
set(read_output "dead band    6 us.*pulse upper  1997 us.*pulse lower  998 us.*neutral      1500 us.*registers    01=23 06=01 07=4E 08=9C 09=80 0A=0D")
rvz_cli_exe_test(cli_exe_demo_read ${bare} 0 "${read_output}" "--demo read")
rvz_cli_exe_test(cli_exe_read_over_library ${cli_dir} 0 "${read_output}" "read")
rvz_cli_exe_test(cli_exe_doctor_over_library ${cli_dir} 0
  "\\[ok\\]   the adapter's library SIUSBXP.DLL is loaded from [A-Z]:.*\\\\bin\\\\SIUSBXP\\.[Dd][Ll][Ll].*\\[ok\\]   a servo answers the probe" "doctor")
rvz_cli_exe_test(cli_exe_doctor_without_library ${bare} 3
  "\\[fail\\] the adapter's library SIUSBXP.DLL cannot be loaded \\(Windows error 126: not found\\).*Install the adapter's driver package" "doctor")
rvz_cli_exe_test(cli_exe_read_without_library ${bare} 3 "USB library \\(SIUSBXP.DLL\\) is missing" "read")
# A file of that name that is no library for this program.
set(wrong ${CMAKE_CURRENT_BINARY_DIR}/wrong-library)
add_custom_command(OUTPUT ${wrong}/rivivev-uvezi-cli.exe ${wrong}/SIUSBXP.DLL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${wrong}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:rivivev-uvezi-cli> ${wrong}/
  COMMAND ${CMAKE_COMMAND} -E echo "not a library" > ${wrong}/SIUSBXP.DLL
  DEPENDS rivivev-uvezi-cli)
add_custom_target(rvz_cli_exe_wrong_library ALL DEPENDS ${wrong}/rivivev-uvezi-cli.exe)
math(EXPR width "${CMAKE_SIZEOF_VOID_P} * 8")
rvz_cli_exe_test(cli_exe_doctor_wrong_library ${wrong} 3
  "was found, but this ${width}-bit program cannot load it \\(Windows error 193\\).*Copy the ${width}-bit SIUSBXP.DLL" "doctor")
# A file name outside the ANSI code page: the arguments arrive in UTF-8 and
# the file is opened by its wide name.
rvz_cli_exe_test(cli_exe_make_wide_name ${bare} 0 "^$" "make --set neutral=1640 -o 伺服-ø.svo")
rvz_cli_exe_test(cli_exe_show_wide_name ${bare} 0 "neutral      1640 us" "show 伺服-ø.svo")
set_tests_properties(cli_exe_show_wide_name PROPERTIES DEPENDS cli_exe_make_wide_name)

# The preferences file's path from an executable in a folder whose name lies
# outside the ANSI code page: the module path must come as wide characters.
set(wide_folder "${CMAKE_CURRENT_BINARY_DIR}/伺服 工具")
add_custom_command(OUTPUT "${wide_folder}/reg_test.exe"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${wide_folder}"
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:reg_test> "${wide_folder}/"
  DEPENDS reg_test)
add_custom_target(rvz_reg_test_in_wide_folder ALL DEPENDS "${wide_folder}/reg_test.exe")
add_test(NAME reg_test_in_wide_folder COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} "${wide_folder}/reg_test.exe"
         --gtest_filter=PreferencesPathTest.*)
set_tests_properties(reg_test_in_wide_folder PROPERTIES TIMEOUT 120)

# The command line beside a stand-in that is not the library it needs, as
# SIUSBXP.DLL in a folder of its own.
function(rvz_cli_exe_beside_library folder library)
  add_custom_command(OUTPUT ${folder}/rivivev-uvezi-cli.exe ${folder}/SIUSBXP.DLL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:rivivev-uvezi-cli> ${folder}/
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${library}> ${folder}/SIUSBXP.DLL
    DEPENDS rivivev-uvezi-cli ${library})
  add_custom_target(rvz_cli_exe_beside_${library} ALL DEPENDS ${folder}/rivivev-uvezi-cli.exe)
endfunction()

# A library of that name without the write at ordinal 7.
set(no_write ${CMAKE_CURRENT_BINARY_DIR}/library-without-write)
rvz_cli_exe_beside_library(${no_write} siusbxp_without_write)
rvz_cli_exe_test(cli_exe_doctor_library_without_write ${no_write} 3
  "SIUSBXP.DLL has no operation at ordinal 7 \\(write\\), so it is not the USBXpress library" "doctor")
# A library whose read and write sit at each other's ordinals.
set(swapped ${CMAKE_CURRENT_BINARY_DIR}/library-swapped)
rvz_cli_exe_beside_library(${swapped} siusbxp_swapped)
rvz_cli_exe_test(cli_exe_doctor_library_swapped ${swapped} 3
  "exports SI_Read as another function than ordinal 6 \\(read\\)" "doctor")

# The window over the library: the stand-in beside the test, one without the
# write, and a file of a library's name that is none.
if(RVZ_BUILD_WINDOW)
  rvz_gtest(adapter_window_test app/AdapterWindowTest.cpp)
  target_link_libraries(adapter_window_test PRIVATE rvz_adapter_program rvz_widget_test_support Qt6::Test)
  add_custom_command(TARGET adapter_window_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E echo "not a library" > $<TARGET_FILE_DIR:adapter_window_test>/not-a-library.dll)
  add_dependencies(adapter_window_test siusbxp_stand_in siusbxp_without_write rvz_window_runtime)

  # Once more on a screen, through Windows' own platform: offscreen, Qt
  # never asks Wine for a font, so a font that leaves the fields blank
  # shows only here. The machine's fonts are narrowed to a plain Debian's,
  # in a Wine prefix of the test's own: Wine keeps the font list it found
  # when a prefix is made.
  find_program(RVZ_XVFB_RUN xvfb-run)
  if(RVZ_XVFB_RUN)
    set(prefix ${CMAKE_CURRENT_BINARY_DIR}/wine-on-screen)
    add_test(NAME adapter_window_test_on_screen COMMAND sh -c
             "rm -rf '${prefix}' && exec '${RVZ_XVFB_RUN}' -a '${CMAKE_CROSSCOMPILING_EMULATOR}' '$<TARGET_FILE:adapter_window_test>'")
    set_tests_properties(adapter_window_test_on_screen PROPERTIES TIMEOUT 300
      ENVIRONMENT "FONTCONFIG_FILE=${CMAKE_CURRENT_SOURCE_DIR}/windows/fonts.conf;WINEPREFIX=${prefix}")
  endif()
endif()
