# Tests of the loaders and tools that need no display.
add_library(test_files STATIC test_files.cpp)
target_include_directories(test_files PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(test_files PRIVATE SZABLON_TESTDATA="${SZABLON_TESTDATA}")
target_link_libraries(test_files PUBLIC test_support)

add_executable(model_reader_test model_reader_test.cpp)
target_link_libraries(model_reader_test PRIVATE viewer_loaders asset_writer test_files GTest::gtest_main)
target_compile_definitions(model_reader_test PRIVATE ASSET_INFO="$<TARGET_FILE:asset_info>")
add_test(NAME model_reader COMMAND model_reader_test)

# The BMP decoder: files made by the writer, the shared suite against its
# reference pictures, and asset_info on real files.
find_package(PNG REQUIRED)
foreach(bmp_test bmp_decode_test bmp_kinds_test)
  add_executable(${bmp_test} ${bmp_test}.cpp bmp_checks.cpp)
  target_link_libraries(${bmp_test} PRIVATE viewer_loaders asset_writer test_files PNG::PNG
                        GTest::gtest_main)
  target_compile_definitions(${bmp_test} PRIVATE ASSET_INFO="$<TARGET_FILE:asset_info>")
  add_dependencies(${bmp_test} asset_info)
endforeach()
add_test(NAME bmp_decode COMMAND bmp_decode_test)
add_test(NAME bmp_kinds COMMAND bmp_kinds_test)
