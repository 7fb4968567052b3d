# qv_glob_sources(<var> <dir>): the .cpp files of one folder (not its sub-folders).
function(qv_glob_sources var dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  set(${var} ${_src} PARENT_SCOPE)
endfunction()

# qv_add_test_folder(<dir> LABEL <label> LIBS <libs...>): one GoogleTest program
# per test folder, named after its path, registered with CTest.
function(qv_add_test_folder dir)
  cmake_parse_arguments(T "" "LABEL" "LIBS" ${ARGN})
  qv_glob_sources(_src ${dir})
  if(NOT _src)
    return()
  endif()
  file(RELATIVE_PATH _rel ${CMAKE_SOURCE_DIR}/tests ${dir})
  string(REPLACE "/" "_" _name "test_${_rel}")
  add_executable(${_name} ${_src})
  target_link_libraries(${_name} PRIVATE ${T_LIBS} qv_test_support GTest::gmock GTest::gtest_main)
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  add_test(NAME ${_name} COMMAND ${_name} --gtest_brief=1)
  set_tests_properties(${_name} PROPERTIES LABELS ${T_LABEL} TIMEOUT 900
    ENVIRONMENT "QV_SOURCE_DIR=${CMAKE_SOURCE_DIR};QV_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
