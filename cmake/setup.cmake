# Setup.exe, its Wine test program and the package's stand-in component files.
if(NOT EXISTS ${CMAKE_SOURCE_DIR}/setup/WinMain.cpp)
  return()
endif()

add_library(setup_app STATIC ${KV_setup_WIN_SOURCES} ${KV_shared_WIN_SOURCES})
target_compile_options(setup_app PRIVATE ${KV_WARN})
target_link_libraries(setup_app PUBLIC kvinstall_portable kvwin)

add_executable(Setup WIN32 ${CMAKE_SOURCE_DIR}/setup/WinMain.cpp ${CMAKE_SOURCE_DIR}/packaging/Setup.rc)
target_link_libraries(Setup PRIVATE setup_app)
target_link_options(Setup PRIVATE -municode)

file(GLOB KV_SETUP_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/setup/*.cpp)
if(KV_SETUP_TESTS)
  add_executable(setup_tests ${KV_SETUP_TESTS} ${CMAKE_SOURCE_DIR}/tests/windows/common/test_main.cpp
                 ${CMAKE_SOURCE_DIR}/tests/windows/common/scripted_dialogs.cpp ${CMAKE_SOURCE_DIR}/packaging/Setup.rc)
  target_include_directories(setup_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/windows/common)
  target_link_libraries(setup_tests PRIVATE setup_app gtest)
  target_compile_options(setup_tests PRIVATE ${KV_WARN})
endif()
if(TARGET setup_tests)
  # Run under Wine by scripts/test; WINE is taken from the environment.
  add_test(NAME setup_tests COMMAND wine ${CMAKE_BINARY_DIR}/setup_tests.exe --gtest_brief=1)
endif()
