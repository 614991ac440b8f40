# The envelope worker and the envelope state belong to the player's core (no widgets).
target_sources(player_core PRIVATE envelope.cpp)
target_link_libraries(player_core PUBLIC Threads::Threads)
