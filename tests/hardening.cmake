# Hardening: the fuzzers' regression corpus replayed through the real
# loaders, and valgrind on the viewer. The sanitizer build's tests run in the
# environment of sanitizer_env.sh.

add_executable(fuzz_regressions_test fuzz_regressions_test.cpp)
target_link_libraries(fuzz_regressions_test PRIVATE formats test_support GTest::gtest_main)
target_compile_definitions(fuzz_regressions_test PRIVATE
  SZABLON_REGRESSIONS="${PROJECT_SOURCE_DIR}/fuzz/regressions")
add_test(NAME fuzz_regressions COMMAND fuzz_regressions_test)

# Valgrind cannot run sanitized programs: this test is for the normal build.
find_program(VALGRIND valgrind)
if(VALGRIND AND NOT SZABLON_SANITIZE)
  find_file(SZABLON_GL_DRIVER swrast_dri.so
    PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri /usr/lib64/dri /usr/lib/dri
    NO_DEFAULT_PATH DOC "Mesa's software GL driver, preloaded under valgrind")
  add_executable(viewer_valgrind_test viewer_valgrind_test.cpp)
  target_link_libraries(viewer_valgrind_test PRIVATE test_support_e2e_main)
  target_compile_definitions(viewer_valgrind_test PRIVATE
    VALGRIND="${VALGRIND}"
    GL_DRIVER="${SZABLON_GL_DRIVER}"
    SUPPRESSIONS="${CMAKE_CURRENT_SOURCE_DIR}/valgrind.supp"
    MODEL_VIEWER="$<TARGET_FILE:model_viewer>"
    MAKE_DEMO_ASSETS="$<TARGET_FILE:make_demo_assets>")
  add_dependencies(viewer_valgrind_test model_viewer make_demo_assets)
  add_test(NAME viewer_valgrind COMMAND viewer_valgrind_test)
  set_tests_properties(viewer_valgrind PROPERTIES TIMEOUT 300 LABELS valgrind)
elseif(NOT SZABLON_SANITIZE)
  message(STATUS "valgrind not found: the viewer's memcheck test is left out")
endif()
