# One place for warnings and the shared settings of every Stylor target.
# STYLOR_WERROR (CI) makes every warning an error, so that warnings stay at none.
function(stylor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(STYLOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A layer library made of every .cpp in the calling folder (and its subfolders), less EXCLUDE.
function(stylor_add_library target)
  cmake_parse_arguments(ARG "" "" "DEPENDS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*/*.cpp)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARG_DEPENDS})
  stylor_warnings(${target})
endfunction()

# A GoogleTest executable made of every *_test.cpp in the calling folder, discovered by CTest,
# with the shared test support of tests/support (temporary folder, host doubles, font texts).
function(stylor_add_test target)
  cmake_parse_arguments(ARG "" "" "DEPENDS;ENVIRONMENT" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARG_DEPENDS} stylor_test_support GTest::gmock
                        GTest::gtest GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE
    STYLOR_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
    STYLOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    STYLOR_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  stylor_warnings(${target})
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
