# Helpers shared by every folder: one library per folder, warnings on our code (as errors with
# ZEL_WERROR, which CI and the developer scripts turn on).

function(zel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ZEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
    # GCC 12 at -O3 reports -Wrestrict inside libstdc++'s own std::string operator+/insert
    # (GCC bug 105651, a regression of 12 fixed in 13) for plain "text" + std::string code; the
    # warning stays visible there, but only a later compiler's -Wrestrict may fail the build.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-error=restrict)
    endif()
  endif()
endfunction()

# zel_library(NAME [DEPS ...]): a library named zel_<NAME> from every .cpp in the
# calling folder; headers are included as "<folder>/<file>.h" from the source root.
function(zel_library name)
  cmake_parse_arguments(ZL "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(zel_${name} STATIC ${srcs})
    target_include_directories(zel_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(zel_${name} PUBLIC ${ZL_DEPS})
    zel_warnings(zel_${name})
  else()
    add_library(zel_${name} INTERFACE)
    target_include_directories(zel_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(zel_${name} INTERFACE ${ZL_DEPS})
  endif()
endfunction()

# zel_test(NAME [DEPS ...]): one GoogleTest executable zel_test_<NAME> from every .cpp
# in the calling folder, its cases registered with CTest.
function(zel_test name)
  cmake_parse_arguments(ZT "" "" "DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(zel_test_${name} ${srcs})
  target_link_libraries(zel_test_${name} PRIVATE ${ZT_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(zel_test_${name} PRIVATE
    ZEL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    ZEL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  zel_warnings(zel_test_${name})
  gtest_discover_tests(zel_test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 900)
endfunction()
