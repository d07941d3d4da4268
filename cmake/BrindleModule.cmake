# Helpers shared by the build files.
#
# brindle_subsystem(name) makes the object library bw_<name>_objects from
# every .cpp in <name>/, except the files that must exist only inside the
# shared module (listed in BRINDLE_MODULE_ONLY_SOURCES), and adds it to
# BRINDLE_MODULE_PARTS.  The module and bw_module_code are built from those
# parts (see CMakeLists.txt).  All module code is compiled with hidden
# visibility so that nothing but ProcessQELRequest leaves the shared library.
set(BRINDLE_MODULE_ONLY_SOURCES
  ${CMAKE_SOURCE_DIR}/host/entry_point.cpp
  ${CMAKE_SOURCE_DIR}/foundation/global_new.cpp)
set(BRINDLE_MODULE_PARTS)

function(brindle_subsystem name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${name}/*.cpp)
  list(REMOVE_ITEM sources ${BRINDLE_MODULE_ONLY_SOURCES})
  if(NOT sources)
    set(sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(bw_${name}_objects OBJECT ${sources})
  target_include_directories(bw_${name}_objects PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
  set_target_properties(bw_${name}_objects PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  set(BRINDLE_MODULE_PARTS ${BRINDLE_MODULE_PARTS} bw_${name}_objects PARENT_SCOPE)
endfunction()

# brindle_test(name sources... [LIBS libs...] [LOADS_MODULE]) builds a
# GoogleTest binary and registers it with CTest.  A test that LOADS_MODULE
# knows where the real module is through BRINDLE_MODULE_PATH, so it can dlopen
# the library as a host would, and is rebuilt whenever the module is.
function(brindle_test name)
  cmake_parse_arguments(T "LOADS_MODULE" "" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main ${CMAKE_DL_LIBS})
  target_compile_definitions(${name} PRIVATE
    BRINDLE_MODULE_PATH="$<TARGET_FILE:brindlework>"
    BRINDLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(T_LOADS_MODULE)
    add_dependencies(${name} brindlework)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
