# One library per subsystem folder, from whatever sources the folder holds;
# header-only folders become interface libraries.
function(redivez_subsystem name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/dd_classic_main\\.cpp$")
  set(target redivez_${name})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${ARGN})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${ARGN})
  endif()
endfunction()

# One GoogleTest executable per test folder.
function(redivez_test_folder name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target test_${name})
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
  add_dependencies(redivez_tests ${target})
  # Each folder's own helpers, and those shared by several folders.
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/support)
  target_compile_definitions(${target} PRIVATE
    REDIVEZ_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    REDIVEZ_CONES_DIR="${PROJECT_SOURCE_DIR}/../shared/cones"
    REDIVEZ_BINARY="$<TARGET_FILE:redivez>")
  # Suites named Slow* take seconds per case: labelled, so that the sanitizer
  # run can leave them out.
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "-Slow*:*/Slow*")
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_FILTER "Slow*:*/Slow*"
                       PROPERTIES LABELS slow)
endfunction()
