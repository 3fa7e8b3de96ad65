# Hardening: the fuzzers' regression corpus replayed through the real
# loaders, and valgrind on the viewer. The sanitizer build's tests run in the
# environment of sanitizer_env.sh.

add_executable(fuzz_regressions_test fuzz_regressions_test.cpp)
target_link_libraries(fuzz_regressions_test PRIVATE viewer_loaders GTest::gtest_main)
target_compile_definitions(fuzz_regressions_test PRIVATE
  SZABLON_REGRESSIONS="${PROJECT_SOURCE_DIR}/fuzz/regressions")
add_test(NAME fuzz_regressions COMMAND fuzz_regressions_test)
