# KorvaneUninstaller.exe and its Wine test program.
add_library(uninstaller_app STATIC ${KV_uninstaller_WIN} ${KV_shared_WIN})
target_compile_options(uninstaller_app PRIVATE ${KV_WARN})
target_link_libraries(uninstaller_app PUBLIC kvinstall_portable kvwin)

add_executable(KorvaneUninstaller WIN32 ${CMAKE_SOURCE_DIR}/uninstaller/WinMain.cpp
               ${CMAKE_SOURCE_DIR}/packaging/KorvaneUninstaller.rc)
target_link_libraries(KorvaneUninstaller PRIVATE uninstaller_app)
target_link_options(KorvaneUninstaller PRIVATE -municode)

kv_installer_tests(uninstaller_tests uninstaller ${CMAKE_SOURCE_DIR}/packaging/Korvane.rc uninstaller_app)
