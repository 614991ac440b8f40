# The fuzz targets' bodies built as ordinary programs that replay the saved inputs in
# fuzz/regressions/<target>: every finding stays a test of the ordinary suite.
function(nuv_add_fuzz_replay name)
  add_executable(${name}_replay ${CMAKE_SOURCE_DIR}/fuzz/${name}.cpp
                 ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_include_directories(${name}_replay PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name}_replay PRIVATE ${ARGN})
  add_test(NAME ${name}_replay COMMAND ${name}_replay
           ${CMAKE_SOURCE_DIR}/fuzz/regressions/${name})
  set_tests_properties(${name}_replay PROPERTIES ENVIRONMENT "${NUV_TEST_ENV}" LABELS "sanitize")
endfunction()

nuv_add_fuzz_replay(fuzz_audio audio)
if(NUV_BUILD_UI)
  nuv_add_fuzz_replay(fuzz_textfiles textfiles)
  nuv_add_fuzz_replay(fuzz_dictionary dictionary_core)
  nuv_add_fuzz_replay(fuzz_project project_core)
  nuv_add_fuzz_replay(fuzz_drafts exchange_core)
endif()
