# Helper functions shared by every subsystem folder.
#
# Three toolchains build this tree:
#   host  - native g++ with ASan/UBSan; only PORTABLE libraries and their tests.
#   win64 - MinGW-w64 x86-64; everything; tests run under Wine.
#   win32 - MinGW-w64 i686; everything, compile only (record layouts at 32 bits).

set(WX_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
# Where resources/make_avi.py draws the progress window's animations.
set(WX_ANIMATION_DIR ${CMAKE_BINARY_DIR}/resources/animations)

if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WX_RUN_TESTS ON)
  set(WX_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
elseif(NOT WIN32)
  set(WX_RUN_TESTS ON)
else()
  set(WX_RUN_TESTS OFF)
endif()

# wx_library(name [PORTABLE] SOURCES ... [LIBS ...] [INCLUDES ...])
# A PORTABLE library includes no <windows.h> and is built by all toolchains.
function(wx_library name)
  cmake_parse_arguments(A "PORTABLE" "" "SOURCES;LIBS;INCLUDES" ${ARGN})
  if(NOT WIN32 AND NOT A_PORTABLE)
    return()
  endif()
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${WX_ROOT} ${A_INCLUDES})
  if(A_LIBS)
    target_link_libraries(${name} PUBLIC ${A_LIBS})
  endif()
endfunction()

# wx_test(name [PORTABLE] [OWN_SESSION] SOURCES ... [LIBS ...] [LABELS ...] [ENV ...] [TIMEOUT n])
# One executable and one ctest entry per test program.  Under win64 the
# executable runs through the Wine wrapper; under win32 it is only built.
# OWN_SESSION: under Wine on an X display and a Wine server of its own, for
# tests whose windows must keep the activation (the focus) throughout.
function(wx_test name)
  cmake_parse_arguments(A "PORTABLE;OWN_SESSION" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(NOT WIN32 AND NOT A_PORTABLE)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${WX_ROOT})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT WX_RUN_TESTS)
    return()
  endif()
  if(A_OWN_SESSION AND WIN32)
    add_test(NAME ${name} COMMAND ${WX_ROOT}/app/tests/own_session.sh ${CMAKE_CURRENT_BINARY_DIR}/${name}.session
                                  $<TARGET_FILE:${name}> --gtest_color=no)
    list(APPEND A_ENV "WX_WINE_RUN=${WX_WINE_RUN}")
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  endif()
  set_tests_properties(${name} PROPERTIES WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(A_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${A_LABELS}")
  endif()
  if(A_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT})
  endif()
  set(env "WX_SOURCE_DIR=${WX_ROOT}" "WX_BINARY_DIR=${CMAKE_BINARY_DIR}" ${A_ENV})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()

# wx_script_test(name COMMAND ... [WIN_ONLY] [ENV ...] [TIMEOUT n])
# A test driven by a script on the build machine (outside checkers, GUI smoke).
function(wx_script_test name)
  cmake_parse_arguments(A "WIN_ONLY" "TIMEOUT" "COMMAND;ENV;LABELS" ${ARGN})
  if(NOT WX_RUN_TESTS OR (A_WIN_ONLY AND NOT WIN32))
    return()
  endif()
  add_test(NAME ${name} COMMAND ${A_COMMAND})
  set(env "WX_SOURCE_DIR=${WX_ROOT}" "WX_BINARY_DIR=${CMAKE_BINARY_DIR}" "WX_WINE_RUN=${WX_WINE_RUN}" ${A_ENV})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}"
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(A_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT})
  endif()
  if(A_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${A_LABELS}")
  endif()
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()

# wx_fuzz_test(name target MAX_LEN n TIMEOUT n SOURCES ...)
# A libFuzzer target (build machine only; skipped without clang's libFuzzer):
# tests/run-fuzz.sh builds it from SOURCES and runs every seed of
# target_seeds.sh and every kept input of target_regress/ once.  A campaign
# is the same command by hand with a time instead of 0 (see run-fuzz.sh).
function(wx_fuzz_test name target)
  cmake_parse_arguments(A "" "MAX_LEN;TIMEOUT" "SOURCES" ${ARGN})
  if(WIN32 OR NOT WX_RUN_TESTS)
    return()
  endif()
  wx_script_test(${name}
    COMMAND bash ${WX_ROOT}/tests/run-fuzz.sh ${target} ${CMAKE_CURRENT_BINARY_DIR}/${target} 0 ${A_MAX_LEN}
            ${CMAKE_CURRENT_SOURCE_DIR}/${target}_seeds.sh ${WX_ROOT} ${A_SOURCES}
    TIMEOUT ${A_TIMEOUT})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# wx_small_volume(name DIR SIZE) - a small file system of SIZE (mount's
# size option, "512k") at DIR for the tests that require the fixture `name`,
# where the machine lets the tests mount one; the rows that need it are
# left out elsewhere (the tests say so).
function(wx_small_volume name dir size)
  if(NOT WX_RUN_TESTS)
    return()
  endif()
  add_test(NAME ${name}_mount COMMAND ${WX_ROOT}/scripts/small-volume mount ${dir} ${size})
  set_tests_properties(${name}_mount PROPERTIES FIXTURES_SETUP ${name})
  add_test(NAME ${name}_unmount COMMAND ${WX_ROOT}/scripts/small-volume unmount ${dir})
  set_tests_properties(${name}_unmount PROPERTIES FIXTURES_CLEANUP ${name})
endfunction()

# wx_sound_sink(name VAR) - sets VAR to the environment that gives the
# processes of a test one sound device under Wine: ALSA's file sink, read
# through XDG_CONFIG_HOME.  Every open of the device writes a file of its own
# in WX_SOUND_DIR: played.raw, then played.raw.0001 and so on (the test
# removes them first).  Without this a test process has no sound device.
function(wx_sound_sink name var)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${name}.sound)
  file(WRITE ${dir}/alsa/asoundrc
       "pcm.!default { type file; slave.pcm \"null\"; file \"${dir}/played.raw\"; format \"raw\"; truncate false }\n")
  set(${var} "XDG_CONFIG_HOME=${dir}" "WX_SOUND_DIR=${dir}" PARENT_SCOPE)
endfunction()

# wx_resources(target rcfile...) - resource sources are kept in UTF-8; they are
# converted to code page 932 (failing on any character cp932 lacks) and
# compiled by windres with that code page.
function(wx_resources target)
  # windres reports no header dependencies: a changed id header rebuilds
  # every resource file.
  file(GLOB headers ${WX_ROOT}/resources/*.h)
  foreach(src ${ARGN})
    get_filename_component(abs ${src} ABSOLUTE)
    get_filename_component(base ${src} NAME)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/cp932/${base})
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/cp932
      COMMAND python3 ${WX_ROOT}/cmake/rc932.py ${abs} ${out}
      DEPENDS ${abs} ${WX_ROOT}/cmake/rc932.py
      COMMENT "Converting ${base} to code page 932"
      VERBATIM)
    target_sources(${target} PRIVATE ${out})
    set(deps "${abs}" ${headers})
    # The progress window's animations are drawn at build time.
    if(base MATCHES "^progress(_en)?\\.rc$")
      list(APPEND deps ${WX_ANIMATION_DIR}/ripping.avi ${WX_ANIMATION_DIR}/compress.avi)
      add_dependencies(${target} wx_animations)
    endif()
    set_source_files_properties(${out} PROPERTIES
      OBJECT_DEPENDS "${deps}"
      COMPILE_OPTIONS "-c;932;-I${WX_ROOT}/resources;-I${WX_ROOT};-I${CMAKE_CURRENT_SOURCE_DIR};-I${WX_ANIMATION_DIR}")
  endforeach()
endfunction()
