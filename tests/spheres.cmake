# End-to-end tests of spheres_add and spheres_alpha: the real programs on a
# private Xvfb per test process, their pictures and apitrace call streams.
include(GoogleTest)

# Preloaded into the programs to make GLU fail and GLUT report height 0.
add_library(spheres_shim MODULE spheres_shim.cpp)
target_link_libraries(spheres_shim PRIVATE ${CMAKE_DL_LIBS})

foreach(suite window trace mended)
  add_executable(spheres_${suite}_test spheres_${suite}_test.cpp)
  target_link_libraries(spheres_${suite}_test PRIVATE test_support_e2e_main)
  target_compile_definitions(spheres_${suite}_test PRIVATE
    SPHERES_ADD_BINARY="$<TARGET_FILE:spheres_add>"
    SPHERES_ALPHA_BINARY="$<TARGET_FILE:spheres_alpha>"
    SPHERES_SHIM="$<TARGET_FILE:spheres_shim>")
  add_dependencies(spheres_${suite}_test spheres_add spheres_alpha spheres_shim)
  # One ctest test per case, each with an X server of its own.
  gtest_discover_tests(spheres_${suite}_test
    TEST_PREFIX "spheres."
    NO_PRETTY_VALUES
    PROPERTIES TIMEOUT 60 LABELS e2e)
endforeach()
