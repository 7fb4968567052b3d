# qv_glob_sources(<var> <dir>): the .cpp files of one folder (not its sub-folders).
function(qv_glob_sources var dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  set(${var} ${_src} PARENT_SCOPE)
endfunction()

# qv_add_test_folder(<dir> LABEL <label> [SHARDS <n>] LIBS <libs...>): one
# GoogleTest program per test folder, named after its path, registered with
# CTest. With SHARDS the program is registered as n tests, each running its
# share of the cases (GoogleTest's own sharding), so that a long program does
# not hold up the run by itself. The registered names are kept in the global
# property QV_TESTS_<program>.
function(qv_add_test_folder dir)
  cmake_parse_arguments(T "" "LABEL;SHARDS" "LIBS" ${ARGN})
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
  set(_env "QV_SOURCE_DIR=${CMAKE_SOURCE_DIR};QV_BINARY_DIR=${CMAKE_BINARY_DIR}")
  set(_tests)
  if(T_SHARDS AND T_SHARDS GREATER 1)
    math(EXPR _last "${T_SHARDS} - 1")
    foreach(_i RANGE ${_last})
      add_test(NAME ${_name}_${_i} COMMAND ${_name} --gtest_brief=1)
      set_tests_properties(${_name}_${_i} PROPERTIES
        ENVIRONMENT "${_env};GTEST_TOTAL_SHARDS=${T_SHARDS};GTEST_SHARD_INDEX=${_i}")
      list(APPEND _tests ${_name}_${_i})
    endforeach()
  else()
    add_test(NAME ${_name} COMMAND ${_name} --gtest_brief=1)
    set_tests_properties(${_name} PROPERTIES ENVIRONMENT "${_env}")
    set(_tests ${_name})
  endif()
  set_tests_properties(${_tests} PROPERTIES LABELS ${T_LABEL} TIMEOUT 900)
  set_property(GLOBAL PROPERTY QV_TESTS_${_name} ${_tests})
endfunction()

# qv_layer(<target> DIR <dir> [SUBDIRS <folders...>] [DEPS <layers...>]
# [LIBS <libraries...>]): one folder of the tree, with the named sub-folders
# of it, as an object library. DEPS are the layers below it, the
# only ones its code may call; LIBS are the outside libraries it uses.
# With QV_LAYER_CHECK on, each layer is also linked alone with what it may
# use (-Wl,--no-undefined), so a call against the arrows fails the build.
# A folder of headers only is compiled header by header, each on its own, so
# that it is checked against its layer as code is.
function(qv_layer target)
  cmake_parse_arguments(L "" "DIR" "SUBDIRS;DEPS;LIBS" ${ARGN})
  qv_glob_sources(_src ${L_DIR})
  foreach(sub ${L_SUBDIRS})
    qv_glob_sources(_sub ${L_DIR}/${sub})
    list(APPEND _src ${_sub})
  endforeach()
  if(NOT _src)
    file(GLOB _headers CONFIGURE_DEPENDS ${L_DIR}/*.h)
    foreach(h ${_headers})
      get_filename_component(_name ${h} NAME_WE)
      set(_tu ${CMAKE_CURRENT_BINARY_DIR}/${target}_headers/${_name}.cpp)
      file(RELATIVE_PATH _rel ${CMAKE_SOURCE_DIR} ${h})
      file(CONFIGURE OUTPUT ${_tu} CONTENT "#include \"${_rel}\"\n")
      list(APPEND _src ${_tu})
    endforeach()
  endif()
  add_library(${target} OBJECT ${_src})
  target_link_libraries(${target} PUBLIC ${L_DEPS} ${L_LIBS})
  # The layer and every layer below it, for the link check and the aggregates.
  set(_closure ${target})
  foreach(d ${L_DEPS})
    get_target_property(_below ${d} QV_LAYER_CLOSURE)
    if(_below)
      list(APPEND _closure ${_below})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES _closure)
  set_target_properties(${target} PROPERTIES QV_LAYER_CLOSURE "${_closure}")
  if(QV_LAYER_CHECK)
    add_library(${target}_linkcheck SHARED)
    target_link_libraries(${target}_linkcheck PRIVATE ${_closure})
    target_link_options(${target}_linkcheck PRIVATE -Wl,--no-undefined)
  endif()
endfunction()

# qv_objects_of(<var> <layers...>): the object files of the layers, as
# generator expressions for a library that bundles them.
function(qv_objects_of var)
  set(_objs)
  foreach(l ${ARGN})
    list(APPEND _objs $<TARGET_OBJECTS:${l}>)
  endforeach()
  set(${var} ${_objs} PARENT_SCOPE)
endfunction()
