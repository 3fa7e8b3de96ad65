# model_viewer: its callbacks and the texture upload in a GLUT window of the
# test's own, and the real binary end to end, each on a private Xvfb.
include(GoogleTest)

add_executable(viewer_gl_test viewer_gl_test.cpp)
target_link_libraries(viewer_gl_test PRIVATE viewer_program
                      test_support_e2e_main)
gtest_discover_tests(viewer_gl_test TEST_PREFIX "viewer_gl." PROPERTIES TIMEOUT 60 LABELS e2e)

add_executable(viewer_e2e_test viewer_e2e_test.cpp)
target_link_libraries(viewer_e2e_test PRIVATE viewer_model test_support_e2e_main)
target_compile_definitions(viewer_e2e_test PRIVATE
  MODEL_VIEWER="$<TARGET_FILE:model_viewer>"
  MAKE_DEMO_ASSETS="$<TARGET_FILE:make_demo_assets>"
  ASSET_INFO="$<TARGET_FILE:asset_info>")
add_dependencies(viewer_e2e_test model_viewer make_demo_assets asset_info)
gtest_discover_tests(viewer_e2e_test TEST_PREFIX "viewer." PROPERTIES TIMEOUT 90 LABELS e2e)
