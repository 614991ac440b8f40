# The strip's logic without windows: geometry, detail peaks (a worker thread), the cycle's
# marks and the selection loop on the manual sound output.
pkg_check_modules(NUV_WORKBENCH_SNDFILE REQUIRED IMPORTED_TARGET sndfile)
nuv_add_test_executable(workbench_tests ${CMAKE_CURRENT_LIST_DIR}/strip_zoom_test.cpp
                        ${CMAKE_CURRENT_LIST_DIR}/detail_peaks_test.cpp
                        ${CMAKE_CURRENT_LIST_DIR}/selection_loop_test.cpp)
target_link_libraries(workbench_tests PRIVATE player_core PkgConfig::NUV_WORKBENCH_SNDFILE)
set_tests_properties(workbench_tests PROPERTIES LABELS "sanitize;threads")
target_sources(waveform_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/workbench_window_test.cpp)
