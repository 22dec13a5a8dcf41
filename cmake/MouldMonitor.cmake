# Helpers shared by the subsystem folders.
#
# mm_library(<name> [DEPS ...]) makes a static library from every .cpp/.h in
# the calling folder (recursively), so adding a file needs no CMake edit.
function(mm_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT _src)
    # An empty folder still gives a linkable target for the layers above.
    set(_empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    if(NOT EXISTS ${_empty})
      file(WRITE ${_empty} "// nothing built in this folder yet\n")
    endif()
    set(_src ${_empty})
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  if(MM_PANEL_BUILD)
    target_compile_definitions(${name} PUBLIC MM_PANEL_BUILD=1)
  endif()
endfunction()

# mm_tests(<folder> DEPS ...) makes one QtTest executable per tst_*.cpp in
# tests/<folder>/ and registers it with CTest.  Every test runs offscreen in
# a fresh temporary program directory (see tests/support/testenv.h).
function(mm_tests folder)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/tst_*.cpp)
  foreach(t ${_tests})
    get_filename_component(_n ${t} NAME_WE)
    set(_target ${folder}_${_n})
    string(REPLACE "/" "_" _target ${_target})
    add_executable(${_target} ${t})
    mm_link_race_checker_setup(${_target})
    target_link_libraries(${_target} PRIVATE mm_testsupport ${ARG_DEPS} Qt6::Test)
    add_test(NAME ${_target} COMMAND ${_target})
    set_tests_properties(${_target} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MOULDMON_TEST=1"
      TIMEOUT 300
      LABELS "${folder};${ARG_LABELS}")
  endforeach()
endfunction()

# In the race-checker build every test and benchmark also links
# tests/tsan/serialopencv.cpp (see there why).
function(mm_link_race_checker_setup target)
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=thread")
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/tsan/serialopencv.cpp)
    target_compile_definitions(${target} PRIVATE MM_RACE_CHECKER=1)
  endif()
endfunction()
