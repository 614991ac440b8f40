# The waveform strip as a workbench: zoom geometry, detail peaks, the cycle's marks, the
# selection loop and the strip's picture. No widgets (the picture is a QImage).
find_package(Qt6 REQUIRED COMPONENTS Gui)
target_sources(player_core PRIVATE strip_zoom.cpp detail_peaks.cpp cycle_marks.cpp
                                   selection_loop.cpp strip_picture.cpp)
target_link_libraries(player_core PUBLIC Qt6::Gui)
target_sources(nuvtolvek_ui PRIVATE strip_workbench.cpp)
