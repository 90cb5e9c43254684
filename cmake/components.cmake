# The four component files the package carries for Setup to place into the system folder:
# our own placeholders that register nothing (packaging/components/component.cpp).
set(KV_COMPONENTS "MSINET:.ocx" "RICHTX32:.ocx" "COMDLG32:.OCX" "scrrun:.dll")
set(KV_COMPONENT_TARGETS "")
foreach(c IN LISTS KV_COMPONENTS)
  string(REPLACE ":" ";" parts ${c})
  list(GET parts 0 base)
  list(GET parts 1 suffix)
  set(t component_${base})
  add_library(${t} SHARED ${CMAKE_SOURCE_DIR}/packaging/components/component.cpp
              ${CMAKE_SOURCE_DIR}/packaging/components/${base}.rc)
  set_target_properties(${t} PROPERTIES PREFIX "" OUTPUT_NAME ${base} SUFFIX ${suffix})
  # windres reports no dependencies: the shared version resource is named here.
  set_source_files_properties(${CMAKE_SOURCE_DIR}/packaging/components/${base}.rc PROPERTIES
                              OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/components/component_version.rc)
  target_compile_definitions(${t} PRIVATE ${KV_WIN_DEFS})
  target_compile_options(${t} PRIVATE ${KV_WARN})
  list(APPEND KV_COMPONENT_TARGETS ${t})
endforeach()
add_custom_target(components ALL DEPENDS ${KV_COMPONENT_TARGETS})

# The Wine test program of the package's pieces: loads and registers each component file, and
# checks that libraries loaded on demand come from the system folder only.
file(GLOB KV_PACKAGING_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/packaging/*.cpp)
if(KV_PACKAGING_TESTS)
  add_executable(packaging_tests ${KV_PACKAGING_TESTS})
  target_compile_options(packaging_tests PRIVATE ${KV_WARN})
  target_link_libraries(packaging_tests PRIVATE kvwin gtest_main gtest ole32 uuid version)
  add_dependencies(packaging_tests ${KV_COMPONENT_TARGETS})
  kv_wine_test(packaging_tests)
  # The package's icons beside the test program, as they lie in the package.
  foreach(icon Beacon.ico Skull.ico)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/${icon} ${CMAKE_BINARY_DIR}/${icon} COPYONLY)
  endforeach()
endif()
