# Tests of the loaders and tools that need no display. Each case is a CTest
# test of its own, so the cases that need the shared test data show as
# skipped, not passed, where it is missing.
include(GoogleTest)

add_executable(model_reader_test model_reader_test.cpp)
target_link_libraries(model_reader_test PRIVATE viewer_model test_support GTest::gtest_main)
target_compile_definitions(model_reader_test PRIVATE ASSET_INFO="$<TARGET_FILE:asset_info>")
add_dependencies(model_reader_test asset_info)
gtest_discover_tests(model_reader_test TEST_PREFIX "model_reader." PROPERTIES TIMEOUT 60)

# The BMP decoder: files made by the writer, the shared suite against its
# reference pictures, and asset_info on real files.
foreach(suite decode kinds)
  add_executable(bmp_${suite}_test bmp_${suite}_test.cpp bmp_checks.cpp)
  target_include_directories(bmp_${suite}_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(bmp_${suite}_test PRIVATE viewer_model test_support GTest::gtest_main)
  target_compile_definitions(bmp_${suite}_test PRIVATE ASSET_INFO="$<TARGET_FILE:asset_info>")
  add_dependencies(bmp_${suite}_test asset_info)
  gtest_discover_tests(bmp_${suite}_test TEST_PREFIX "bmp_${suite}." PROPERTIES TIMEOUT 60)
endforeach()

# The TGA decoder: files made by the writer, and asset_info against ImageMagick.
add_executable(tga_test tga_test.cpp)
target_link_libraries(tga_test PRIVATE test_support GTest::gtest_main)
target_compile_definitions(tga_test PRIVATE ASSET_INFO="$<TARGET_FILE:asset_info>")
add_dependencies(tga_test asset_info)
gtest_discover_tests(tga_test TEST_PREFIX "tga." PROPERTIES TIMEOUT 60)

# Our "%f" for the mapping lines against printf itself.
add_executable(fixed6_test fixed6_test.cpp)
target_link_libraries(fixed6_test PRIVATE viewer_model GTest::gtest_main)
gtest_discover_tests(fixed6_test TEST_PREFIX "fixed6." PROPERTIES TIMEOUT 120)
