# KorvaneUninstaller.exe and its Wine test program.
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/uninstaller/WinMain.cpp)
  return()
endif()

# The portable library's own sources need the source root too (its include folder is only
# declared for its users).
if(KV_INSTALL_PORTABLE_SOURCES)
  target_include_directories(kvinstall_portable PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(kvinstall_portable PRIVATE ${KV_WIN_DEFS})
endif()

add_library(uninstaller_app STATIC ${KV_uninstaller_WIN_SOURCES} ${KV_shared_WIN_SOURCES})
target_compile_options(uninstaller_app PRIVATE ${KV_WARN})
target_link_libraries(uninstaller_app PUBLIC kvinstall_portable kvwin)

add_executable(KorvaneUninstaller WIN32 ${CMAKE_SOURCE_DIR}/uninstaller/WinMain.cpp
               ${CMAKE_SOURCE_DIR}/packaging/KorvaneUninstaller.rc)
target_link_libraries(KorvaneUninstaller PRIVATE uninstaller_app)
target_link_options(KorvaneUninstaller PRIVATE -municode)

file(GLOB KV_UNINSTALLER_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/uninstaller/*.cpp)
if(KV_UNINSTALLER_TESTS)
  add_executable(uninstaller_tests ${KV_UNINSTALLER_TESTS} ${CMAKE_SOURCE_DIR}/tests/windows/common/test_main.cpp
                 ${CMAKE_SOURCE_DIR}/tests/windows/common/scripted_dialogs.cpp ${CMAKE_SOURCE_DIR}/packaging/Korvane.rc)
  target_include_directories(uninstaller_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/windows/common)
  target_link_libraries(uninstaller_tests PRIVATE uninstaller_app gtest)
  target_compile_options(uninstaller_tests PRIVATE ${KV_WARN})
endif()
if(TARGET uninstaller_tests)
  # Run under Wine by scripts/test; WINE is taken from the environment.
  add_test(NAME uninstaller_tests COMMAND wine ${CMAKE_BINARY_DIR}/uninstaller_tests.exe --gtest_brief=1)
endif()
