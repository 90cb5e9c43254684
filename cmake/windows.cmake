# Windows build (mingw-w64): the programs and the test programs that run under Wine.
enable_language(RC)
set(KV_WIN_DEFS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
set(KV_WARN -Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type -Wno-missing-field-initializers)
set(KV_WIN_LIBS ole32 oleaut32 uuid comctl32 comdlg32 shell32 shlwapi gdi32 user32 advapi32)

add_link_options(-static -static-libgcc -static-libstdc++)

# A Windows test program for ctest: run by scripts/wine_test in the bench's environment (home
# and prefix inside the build folder, stated again here so that the command line shows them).
get_filename_component(KV_BENCH_ROOT ${CMAKE_BINARY_DIR} DIRECTORY)
function(kv_wine_test name)
  add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine_test ${KV_BENCH_ROOT}
           ${CMAKE_BINARY_DIR}/${name}.exe --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
                       "HOME=${KV_BENCH_ROOT}/home;WINEPREFIX=${KV_BENCH_ROOT}/wineprefix")
endfunction()

file(GLOB KV_WIN_LAYER CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/win/*.cpp)
add_library(kvwin STATIC ${KV_WIN_LAYER})
target_include_directories(kvwin PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(kvwin PUBLIC ${KV_WIN_DEFS})
target_compile_options(kvwin PRIVATE ${KV_WARN})
target_link_libraries(kvwin PUBLIC ${KV_WIN_LIBS})

# Korvane, one library a folder, each linked only to the folders below it (scripts/check_layers
# holds the includes to the same order): core on win; users and ui on core; app on both.
function(kv_korvane_library name dir)
  add_library(${name} STATIC ${KV_${dir}_PORTABLE} ${KV_${dir}_WIN})
  target_compile_options(${name} PRIVATE ${KV_WARN})
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()
kv_korvane_library(korvane_core core kvwin)
kv_korvane_library(korvane_users users korvane_core)
kv_korvane_library(korvane_ui ui korvane_core)
kv_korvane_library(korvane_app app korvane_users korvane_ui)

add_executable(Korvane WIN32 ${CMAKE_SOURCE_DIR}/app/WinMain.cpp ${CMAKE_SOURCE_DIR}/packaging/Korvane.rc)
target_link_libraries(Korvane PRIVATE korvane_app)
target_link_options(Korvane PRIVATE -municode)

# GoogleTest compiled from Debian's sources for mingw.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB KV_WIN_TEST_COMMON CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/common/*.cpp)
file(GLOB KV_KORVANE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/korvane/*.cpp)
add_executable(korvane_tests ${KV_KORVANE_TESTS} ${KV_WIN_TEST_COMMON} ${CMAKE_SOURCE_DIR}/packaging/Korvane.rc)
target_include_directories(korvane_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/windows/common)
target_link_libraries(korvane_tests PRIVATE korvane_app gtest)
target_compile_options(korvane_tests PRIVATE ${KV_WARN})
kv_wine_test(korvane_tests)

# End-to-end drivers: each tests/e2e/*.cpp becomes a console program run by tests/e2e/*.sh.
file(GLOB KV_E2E_DRIVERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
foreach(f IN LISTS KV_E2E_DRIVERS)
  get_filename_component(n ${f} NAME_WE)
  add_executable(${n} ${f})
  target_compile_definitions(${n} PRIVATE ${KV_WIN_DEFS})
  target_link_libraries(${n} PRIVATE user32 shell32 ole32 oleaut32 uuid advapi32 shlwapi)
endforeach()

# Benchmark drivers that time the real programs: bench/windows/*.cpp, run by bench/*.sh.
file(GLOB KV_BENCH_DRIVERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/windows/*.cpp)
foreach(f IN LISTS KV_BENCH_DRIVERS)
  get_filename_component(n ${f} NAME_WE)
  add_executable(bench_${n} ${f})
  target_include_directories(bench_${n} PRIVATE ${CMAKE_SOURCE_DIR}/tests/e2e)
  target_compile_definitions(bench_${n} PRIVATE ${KV_WIN_DEFS})
  target_link_libraries(bench_${n} PRIVATE user32 shell32 ole32 oleaut32 uuid advapi32 shlwapi)
endforeach()
# A real drag and drop of many documents, with the tests' file-list data object.
target_sources(bench_many_documents PRIVATE ${CMAKE_SOURCE_DIR}/tests/windows/common/data_object.cpp)
target_include_directories(bench_many_documents PRIVATE ${CMAKE_SOURCE_DIR}/tests/windows/common)
# The cipher's own code timed call by call.
target_link_libraries(bench_cipher_phases PRIVATE korvane_app)

# One Wine test program for the installer's side: every tests/windows/<folder>/*.cpp with
# the common test entry, scripted dialogs and file helpers, linked to the program's code.
function(kv_installer_tests name folder resources app)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/${folder}/*.cpp)
  if(NOT sources)
    message(FATAL_ERROR "no test sources in tests/windows/${folder}")
  endif()
  add_executable(${name} ${sources} ${CMAKE_SOURCE_DIR}/tests/windows/common/test_main.cpp
                 ${CMAKE_SOURCE_DIR}/tests/windows/common/scripted_dialogs.cpp
                 ${CMAKE_SOURCE_DIR}/tests/windows/common/test_files.cpp ${resources})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/windows/common)
  target_link_libraries(${name} PRIVATE ${app} gtest)
  target_compile_options(${name} PRIVATE ${KV_WARN})
  kv_wine_test(${name})
endfunction()

# ---- Setup.exe and KorvaneUninstaller.exe ---------------------------------------------
# Portable rules of the installer's side (install log, path rules) and the waitable-timer
# pause in shared/; each program's windows in its own folder. Korvane links none of it.
target_compile_definitions(kvinstall_portable PUBLIC ${KV_WIN_DEFS})
target_compile_options(kvinstall_portable PRIVATE ${KV_WARN})

include(${CMAKE_SOURCE_DIR}/cmake/components.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/setup.cmake)
include(${CMAKE_SOURCE_DIR}/cmake/uninstaller.cmake)
