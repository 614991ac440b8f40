# The transcript's timestamps with the speakers who follow them (for the player's strip).
target_sources(editor_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/timestamp_turns.cpp)
target_sources(editor_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/tests/timestamp_turns_test.cpp)
