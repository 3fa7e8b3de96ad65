# Tests of the loaders and tools that need no display.
add_library(test_files STATIC test_files.cpp)
target_include_directories(test_files PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(test_files PRIVATE SZABLON_TESTDATA="${SZABLON_TESTDATA}")

add_executable(model_reader_test model_reader_test.cpp)
target_link_libraries(model_reader_test PRIVATE viewer_loaders asset_writer test_files GTest::gtest_main)
target_compile_definitions(model_reader_test PRIVATE ASSET_INFO="$<TARGET_FILE:asset_info>")
add_test(NAME model_reader COMMAND model_reader_test)
