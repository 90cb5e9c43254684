# Setup.exe, its Wine test program and the package's stand-in component files.
add_library(setup_app STATIC ${KV_setup_WIN} ${KV_shared_WIN})
target_compile_options(setup_app PRIVATE ${KV_WARN})
target_link_libraries(setup_app PUBLIC kvinstall_portable kvwin)

add_executable(Setup WIN32 ${CMAKE_SOURCE_DIR}/setup/WinMain.cpp ${CMAKE_SOURCE_DIR}/packaging/Setup.rc)
target_link_libraries(Setup PRIVATE setup_app)
target_link_options(Setup PRIVATE -municode)

kv_installer_tests(setup_tests setup ${CMAKE_SOURCE_DIR}/packaging/Setup.rc setup_app)
# Its test of the library search loads a copy of a placeholder component from beside itself.
add_dependencies(setup_tests component_COMDLG32)
