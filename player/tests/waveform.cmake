# The waveform strip and the envelope worker: an executable of its own, run again under
# the sanitizers (the worker is a thread of its own). Its main creates the QApplication.
pkg_check_modules(NUV_WAVEFORM_SNDFILE REQUIRED IMPORTED_TARGET sndfile)
nuv_add_test_executable(waveform_tests ${CMAKE_CURRENT_LIST_DIR}/envelope_test.cpp
                        ${CMAKE_CURRENT_LIST_DIR}/waveform_test.cpp)
target_link_libraries(waveform_tests PRIVATE nuvtolvek_ui player_core Qt6::Test
                      PkgConfig::NUV_WAVEFORM_SNDFILE)
set_tests_properties(waveform_tests PROPERTIES LABELS "sanitize;threads")
